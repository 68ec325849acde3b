// The program's pictures, drawn as small XPM resources.
#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

// A picture button's icon from its 32 x 16 bitmap: the left 16 x 16 picture
// when enabled, the right one when disabled. Pixels of the colour of the
// bitmap's lower left pixel are transparent. The same name with "@2x" before
// the extension, when there is one, holds the pictures at twice the size for
// a device pixel ratio of 2.
QIcon TwoPictureIcon(const QString& bitmapResource);

QIcon AboutButtonIcon();
QIcon ExitButtonIcon();

// MAINICON: the 32 x 32 program icon, a grey cylinder of stacked disks with
// a black question mark.
QPixmap ProgramIconPixmap();
// The same picture at every size of the icon theme, 16 to 256 pixels.
QIcon ProgramIconSet();
