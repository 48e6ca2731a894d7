#include "fontsize.h"

#include <QFont>
#include <QWidget>

namespace toolkit {

int pixelSize(FontSize size)
{
    static constexpr int sizes[] = {28, 24, 20, 17, 15, 13, 12, 11, 10, 9};
    return sizes[static_cast<int>(size)];
}

void bindFontSize(QWidget *widget, FontSize size, bool demiBold)
{
    QFont font = widget->font();
    font.setPixelSize(pixelSize(size));
    font.setWeight(demiBold ? QFont::DemiBold : QFont::Normal);
    widget->setFont(font);
}

} // namespace toolkit
