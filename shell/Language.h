#pragma once
// The toolkit's own texts (standard buttons, file dialogs) in Russian, like
// the rest of the program.

// Loads the toolkit's Russian translations from where the toolkit keeps them
// and installs them in the running application. Returns false when they are
// not installed on this computer; the standard texts then stay in English.
bool InstallToolkitTranslations();
