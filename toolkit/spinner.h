#pragma once

#include <QTimer>
#include <QWidget>

namespace toolkit {

// Busy indicator: a turning arc while started.
class Spinner : public QWidget
{
    Q_OBJECT

public:
    explicit Spinner(QWidget *parent = nullptr);

    bool isPlaying() const;

public slots:
    void start();
    void stop();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QTimer m_timer;
    int m_angle = 0;
};

} // namespace toolkit
