#include "edit_fixture.h"
