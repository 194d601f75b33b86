// The application object of a test program that calls the setup's code
// directly. It is not started: tests set the members they need.
#include "app/app.h"

static CPelorinApp theApp;

CPelorinApp& App() { return theApp; }
