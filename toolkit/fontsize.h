#pragma once

class QWidget;

namespace toolkit {

// Ten size classes, T1 the largest and T10 the smallest.
enum class FontSize { T1, T2, T3, T4, T5, T6, T7, T8, T9, T10 };

int pixelSize(FontSize size);

// Gives the widget the size class, optionally demi-bold.
void bindFontSize(QWidget *widget, FontSize size, bool demiBold = false);

} // namespace toolkit
