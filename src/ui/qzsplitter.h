// The splitter between the register list and the tape list. The left pane
// may grow only so far that the right pane keeps 74 pixels.
#pragma once

#include <QSplitter>

class TqzSplitter : public QSplitter {
    Q_OBJECT

public:
    static constexpr int kKeepRight = 74;

    explicit TqzSplitter(QWidget* parent = nullptr);

    // The proposed new width of the left pane, capped so that the right pane
    // keeps kKeepRight pixels. Returns whether the resize may happen.
    bool CanResize(int& newLeftWidth) const;

protected:
    QSplitterHandle* createHandle() override;
};
