// The application object of the setup executable. It is built before the
// framework starts and lives as long as the process.
#include "app/app.h"

static CPelorinApp theApp;

CPelorinApp& App() { return theApp; }
