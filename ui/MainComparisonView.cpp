// The comparison pane's widgets, their places and the captions that light up under the pointer.
#include "ui/MainComparisonView.h"

#include <QEvent>
#include <QToolButton>
#include <algorithm>

namespace {

constexpr int kBetweenImagesWidth = 79;
constexpr int kImagePanelsGap = 60;  // ImagePanel1 takes (width - 60) div 2
constexpr int kPictureMargin = 7;
constexpr int kImageTextHeight = 97;
constexpr int kImageLabelHeight = 29;
constexpr int kButtonGroupWidth = 179;
constexpr int kButtonGroupHeight = 68;
constexpr int kButtonGroupTop = 21;
// Caption labels under the picture buttons: grey at rest, white while the pointer is over their button.
const QColor kCaptionRest(128, 128, 128);
const QColor kCaptionLit(255, 255, 255);
// A thin frame a shade lighter than the panel, as the design's flat border shows on the grey-blue.
const QColor kImageFrame(140, 150, 175);

void SetCaptionColour(QLabel* label, const QColor& colour) {
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, colour);
    label->setPalette(p);
}

}  // namespace

TComparisonView::TComparisonView(TDesignScale scale, QWidget* centralPanel)
    : QObject(centralPanel), S(scale), central_(centralPanel) {
    left_.panel = MakePanel(centralPanel, "ImagePanel1", true);
    between_ = MakePanel(centralPanel, "BetweenImagesPanel", false);
    right_.panel = MakePanel(centralPanel, "ImagePanel2", true);
    for (TPanel* panel : {left_.panel, between_, right_.panel})
        panel->SetColour(kPanelColour, kPanelText);
    for (TPanel* panel : {left_.panel, right_.panel}) {
        QPalette p = panel->palette();
        p.setColor(QPalette::WindowText, kImageFrame);
        panel->setPalette(p);
    }
    setupSide(left_, 1);
    setupSide(right_, 2);

    similarity_ =
        MakeLabel(between_, "SimilarityLabel", QStringLiteral("Similarity:"), S.Font(15), Qt::AlignCenter);
    percent_ = MakeLabel(between_, "PercentLabel", QStringLiteral("56%"), S.Font(23), Qt::AlignCenter);
    SetTextColour(similarity_, kPanelText);
    SetTextColour(percent_, kPanelText);
    swap_ = MakePictureButton(between_, "SwapImagesButton", QStringLiteral("Swap Images"),
                              QStringLiteral(":/voralin/swap.svg"));
    between_->onResize = [this] {
        const int w = between_->width();
        similarity_->setGeometry(S(4), S(21), w - 2 * S(4), S(17));
        percent_->setGeometry(S(4), S(46), w - 2 * S(4), S(42));
        swap_->setGeometry(S(13), S(95), S(47), S(48));
        swap_->setIconSize(QSize(S(34), S(34)));
    };
    connect(swap_, &QToolButton::clicked, this, &TComparisonView::swapClicked);
}

void TComparisonView::setupSide(Side& side, int number) {
    auto name = [number](const char* base) { return QByteArray(base) + QByteArray::number(number); };
    const PairSide which = number == 1 ? PairSide::Left : PairSide::Right;

    side.picture = new TPictureView(side.panel);
    side.picture->setObjectName(number == 1 ? QStringLiteral("LeftImage") : QStringLiteral("RightImage"));
    side.textPanel = MakePanel(side.panel, name("ImageTextPanel").constData(), false);
    side.textPanel->SetColour(kPanelColour, kPanelText);
    side.info = MakeLabel(side.textPanel, name("ImageLabel").constData(), QStringLiteral("No Image"), S.Font(14),
                          Qt::AlignCenter);
    side.info->setWordWrap(true);
    SetTextColour(side.info, kPanelText);
    side.buttonsPanel = MakePanel(side.textPanel, name("ImageButtonsPanel").constData(), false);
    side.buttonsPanel->SetColour(kPanelColour, kPanelText);

    struct PictureButton {
        const char* button;
        const char* label;
        const char* hint;
        const char* caption;
        const char* icon;
    };
    const PictureButton buttonSet[3] = {
        {"MoveImageButton", "MoveImageLabel", "Move file", "move", ":/voralin/move-file.svg"},
        {"BrowseImageButton", "BrowseImageLabel", "Browse file", "browse", ":/voralin/browse-file.svg"},
        {"DeleteImageButton", "DeleteImageLabel", "Delete file", "delete", ":/voralin/delete-file.svg"}};
    // The three captions stand 55 apart; a narrow face keeps "browse" from running into its neighbours where
    // the design's own face is missing.
    QFont captionFont = S.Font(15);
    QStringList families = captionFont.families();
    families.insert(families.size() - 1, QStringLiteral("DejaVu Sans Condensed"));
    captionFont.setFamilies(families);
    for (int i = 0; i < 3; ++i) {
        side.buttons[i] = MakePictureButton(side.buttonsPanel, name(buttonSet[i].button).constData(),
                                            QLatin1String(buttonSet[i].hint), QLatin1String(buttonSet[i].icon));
        side.captions[i] = MakeLabel(side.buttonsPanel, name(buttonSet[i].label).constData(),
                                     QLatin1String(buttonSet[i].caption), captionFont, Qt::AlignHCenter | Qt::AlignTop);
        SetTextColour(side.captions[i], kCaptionRest);
        side.buttons[i]->installEventFilter(this);
    }
    connect(side.picture, &TPictureView::clicked, this, [this, which] { emit pictureClicked(which); });
    connect(side.buttons[0], &QToolButton::clicked, this, [this, which] { emit moveClicked(which); });
    connect(side.buttons[1], &QToolButton::clicked, this, [this, which] { emit browseClicked(which); });
    connect(side.buttons[2], &QToolButton::clicked, this, [this, which] { emit deleteClicked(which); });
    side.panel->onResize = [this, &side] { layoutSide(side); };
}

void TComparisonView::layoutSide(const Side& side) {
    const QRect inside = side.panel->contentsRect();
    const int textHeight = S(kImageTextHeight);
    const int margin = S(kPictureMargin);
    side.textPanel->setGeometry(inside.left(), inside.bottom() + 1 - textHeight, inside.width(), textHeight);
    side.picture->setGeometry(inside.left() + margin, inside.top() + margin,
                              std::max(0, inside.width() - 2 * margin),
                              std::max(0, inside.height() - textHeight - 2 * margin));

    side.info->setGeometry(0, 0, side.textPanel->width(), S(kImageLabelHeight));
    side.buttonsPanel->setGeometry((side.textPanel->width() - S(kButtonGroupWidth)) / 2, S(kButtonGroupTop),
                                   S(kButtonGroupWidth), S(kButtonGroupHeight));
    const int lefts[3] = {12, 67, 122};
    for (int i = 0; i < 3; ++i) {
        side.buttons[i]->setGeometry(S(lefts[i]), S(4), S(47), S(47));
        side.buttons[i]->setIconSize(QSize(S(32), S(32)));
        // The caption is a little wider than its button and centred under it.
        side.captions[i]->setGeometry(S(lefts[i] - 6), S(47), S(59), S(20));
    }
}

void TComparisonView::Layout(int top) {
    const int w = central_->width();
    const int h = std::max(0, central_->height() - top);
    const int left = std::max(0, (w - S(kImagePanelsGap)) / 2);
    const int between = S(kBetweenImagesWidth);
    left_.panel->setGeometry(0, top, left, h);
    between_->setGeometry(left, top, between, h);
    right_.panel->setGeometry(left + between, top, std::max(0, w - left - between), h);
}

void TComparisonView::SetPicture(PairSide side, const QImage& picture) {
    of(side).picture->SetPicture(picture);
}

const QImage& TComparisonView::Picture(PairSide side) const {
    return of(side).picture->Picture();
}

void TComparisonView::ClearPictures() {
    left_.picture->ClearPicture();
    right_.picture->ClearPicture();
}

void TComparisonView::SetTexts(const QString& left, const QString& right, const QString& percent) {
    left_.info->setText(left);
    right_.info->setText(right);
    percent_->setText(percent);
}

void TComparisonView::ShowSample() {
    left_.picture->SetPicture(QImage(QStringLiteral(":/voralin/sample1.jpg")));
    right_.picture->SetPicture(QImage(QStringLiteral(":/voralin/sample2.jpg")));
    SetTexts(QStringLiteral("JPG  220 x 290  17 KB"), QStringLiteral("JPG  220 x 290  12 KB"), QStringLiteral("56%"));
}

void TComparisonView::SetGroupEnabled(TControl group, bool on) {
    if (group == TControl::PairButtons)
        swap_->setEnabled(on);
    for (const Side* side : {&left_, &right_}) {
        if (group == TControl::PairButtons) {
            for (QToolButton* button : side->buttons)
                button->setEnabled(on);
        }
        if (group == TControl::Pictures)
            side->picture->setEnabled(on);
    }
}

bool TComparisonView::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::Enter && event->type() != QEvent::Leave)
        return false;
    for (const Side* side : {&left_, &right_}) {
        for (int i = 0; i < 3; ++i) {
            if (watched == side->buttons[i])
                SetCaptionColour(side->captions[i], event->type() == QEvent::Enter ? kCaptionLit : kCaptionRest);
        }
    }
    return false;
}
