// Qt's own texts (right-click menus of text fields, file dialogs) in
// Japanese, whatever the system locale.
#pragma once

// Loads Qt's Japanese translations (qtbase_ja.qm, Debian's
// qt6-translations-l10n) into the application, once. Where they are not
// installed Qt's texts stay English.
void InstallQtJapanese();
