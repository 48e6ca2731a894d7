#pragma once

#include <QAbstractButton>

namespace toolkit {

// A title-bar button that draws its own glyph, so it follows the palette.
class WindowButton : public QAbstractButton
{
    Q_OBJECT

public:
    enum class Glyph { Menu, Minimize, Maximize, Close };

    WindowButton(Glyph glyph, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Glyph m_glyph;
};

} // namespace toolkit
