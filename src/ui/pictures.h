// The program's pictures, drawn as small XPM resources.
#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

// A picture button's icon from its 32 x 16 bitmap: the left 16 x 16 picture
// when enabled, the right one when disabled. Pixels of the colour of the
// bitmap's lower left pixel are transparent.
QIcon TwoPictureIcon(const QString& bitmapResource);

QIcon AboutButtonIcon();
QIcon ExitButtonIcon();

// MAINICON: the 32 x 32 program icon, a grey cylinder of stacked disks with
// a black question mark.
QPixmap ProgramIconPixmap();
QIcon ProgramIconSet();
