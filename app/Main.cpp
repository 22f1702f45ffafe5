// The program's one application object.
#include "WedgeApp.h"

CWedgeApp theApp;
