#pragma once
// The headers nearly every simulator source includes, precompiled once for the simulator's
// libraries and, with GoogleTest, for the test programs (see cmake/quick-build.cmake). Each
// source still includes what it uses.
#include <windows.h>
#include <ole2.h>
#include <oaidl.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>
