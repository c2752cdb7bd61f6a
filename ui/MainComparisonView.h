// The comparison pane's widgets: the two picture panels with their info line and move, browse and delete
// buttons, and the panel between them with the similarity and the swap button.
#pragma once

#include "engine/PairActions.h"
#include "ui/MainWidgets.h"
#include "ui/WindowState.h"

#include <QImage>
#include <QObject>

class TPanel;
class TPictureView;

class TComparisonView : public QObject {
    Q_OBJECT
public:
    // Builds the three panels as children of `centralPanel`.
    TComparisonView(TDesignScale scale, QWidget* centralPanel);

    // Places the panels side by side below `top`: the two picture panels share the width the between panel
    // leaves, the left one rounded down.
    void Layout(int top);

    void SetPicture(PairSide side, const QImage& picture);
    const QImage& Picture(PairSide side) const;
    void ClearPictures();
    // The info lines under the pictures and the similarity between them.
    void SetTexts(const QString& left, const QString& right, const QString& percent);
    // The design's sample pair, shown until the first search.
    void ShowSample();

    // Enables the pair buttons or the pictures; other groups are not the pane's.
    void SetGroupEnabled(TControl group, bool on);

signals:
    void pictureClicked(PairSide side);
    void swapClicked();
    void moveClicked(PairSide side);
    void browseClicked(PairSide side);
    void deleteClicked(PairSide side);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // One picture panel and what belongs to it.
    struct Side {
        TPanel* panel = nullptr;
        TPictureView* picture = nullptr;
        TPanel* textPanel = nullptr;
        QLabel* info = nullptr;
        TPanel* buttonsPanel = nullptr;
        QToolButton* buttons[3] = {};  // move, browse, delete
        QLabel* captions[3] = {};
    };
    void setupSide(Side& side, int number);
    void layoutSide(const Side& side);
    Side& of(PairSide side) { return side == PairSide::Left ? left_ : right_; }
    const Side& of(PairSide side) const { return side == PairSide::Left ? left_ : right_; }

    TDesignScale S;
    QWidget* central_;
    Side left_;
    Side right_;
    TPanel* between_ = nullptr;
    QLabel* similarity_ = nullptr;
    QLabel* percent_ = nullptr;
    QToolButton* swap_ = nullptr;
};
