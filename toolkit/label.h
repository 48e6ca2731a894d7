#pragma once

#include <QLabel>

namespace toolkit {

// A label whose text colour follows one of the palette's tones.
class Label : public QLabel
{
    Q_OBJECT

public:
    enum class Tone { Normal, Secondary };

    explicit Label(QWidget *parent = nullptr);
    explicit Label(const QString &text, QWidget *parent = nullptr);

    void setTone(Tone tone);

protected:
    void changeEvent(QEvent *event) override;

private:
    void applyTone();

    Tone m_tone = Tone::Normal;
};

} // namespace toolkit
