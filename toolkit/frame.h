#pragma once

#include <QFrame>

namespace toolkit {

// A panel with a rounded border; with frame shape NoFrame it paints nothing
// of its own, for subclasses that draw their background themselves.
class Frame : public QFrame
{
    Q_OBJECT

public:
    explicit Frame(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};

// A rounded card in the panel colour behind its contents; the contents
// margins leave the window background visible around it.
class BackgroundGroup : public QFrame
{
    Q_OBJECT

public:
    explicit BackgroundGroup(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};

} // namespace toolkit
