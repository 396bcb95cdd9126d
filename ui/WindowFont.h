#pragma once

#include <QFont>

// The one font of the three windows. The layouts are drawn for 8 pt "MS Sans Serif"; where
// that font is missing the platform's sans serif takes its place at the largest pixel size at
// which every caption still fits the box the layout gives it.
namespace WindowFont {

QFont standard();

} // namespace WindowFont
