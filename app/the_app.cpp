#include "app/find_app.h"

// The one application object of the program, built before the framework's start-up runs.
CFindApp theApp;
