#pragma once

// Qt's own texts in German: the file errors Qt names itself (a missing file, a directory in a
// file's place), and in the GUI the standard buttons, the file and folder dialogs and the
// context menus of the text fields. The program's texts are German already.
namespace QtTranslations {

// Installs Qt's German catalogue in the running application; false when it is not found, and
// then Qt's texts stay English. On Windows the catalogue lies in "translations" beside the
// executable, elsewhere where the system's Qt keeps its translations.
bool installGerman();

} // namespace QtTranslations
