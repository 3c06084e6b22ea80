#pragma once

#include "qt_test_support.h"

using test_support::MessageRecorder;
