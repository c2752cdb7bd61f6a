// Suspends a widget's redrawing for the length of a file action or a sort, on every path out.
#pragma once

#include <QWidget>

class RedrawPause {
public:
    explicit RedrawPause(QWidget* widget) : widget_(widget) { widget_->setUpdatesEnabled(false); }
    ~RedrawPause() { widget_->setUpdatesEnabled(true); }
    RedrawPause(const RedrawPause&) = delete;
    RedrawPause& operator=(const RedrawPause&) = delete;

private:
    QWidget* widget_;
};

