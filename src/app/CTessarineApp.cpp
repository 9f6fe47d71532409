#include "app/CTessarineApp.h"
