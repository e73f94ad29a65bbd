#include "ui/qzsplitter.h"

#include <QMouseEvent>
#include <QSplitterHandle>

#include <algorithm>

namespace {

// QSplitter offers no hook before a drag moves the panes, so the handle does
// the dragging itself and asks the splitter for the allowed position first.
class CqzSplitterHandle : public QSplitterHandle {
public:
    CqzSplitterHandle(Qt::Orientation o, TqzSplitter* parent) : QSplitterHandle(o, parent), owner_(parent) {}

protected:
    void mousePressEvent(QMouseEvent* e) override {
        if (e->button() == Qt::LeftButton) grabOffset_ = e->position().toPoint().x();
        QSplitterHandle::mousePressEvent(e);
    }

    void mouseMoveEvent(QMouseEvent* e) override {
        if (!(e->buttons() & Qt::LeftButton)) return;
        const int origin = owner_->contentsRect().left();
        const int pos = owner_->mapFromGlobal(e->globalPosition().toPoint()).x() - grabOffset_;
        int width = pos - origin;
        if (owner_->CanResize(width)) moveSplitter(origin + width);
    }

private:
    TqzSplitter* owner_;
    int grabOffset_ = 0;
};

}  // namespace

TqzSplitter::TqzSplitter(QWidget* parent) : QSplitter(Qt::Horizontal, parent) {}

bool TqzSplitter::CanResize(int& newLeftWidth) const {
    const int limit = contentsRect().width() - kKeepRight - handleWidth();
    newLeftWidth = std::min(newLeftWidth, limit);
    // The panes' own minimum widths are left to QSplitter's move, which
    // clamps to them; a pane is never collapsed (children are not
    // collapsible).
    return true;
}

QSplitterHandle* TqzSplitter::createHandle() { return new CqzSplitterHandle(orientation(), this); }
