#pragma once
// The headers nearly every test source includes, precompiled once for all the test programs
// (see cmake/quick-build.cmake). Each source still includes what it uses.
// winsock2.h must come before windows.h, and the service double's tests use it.
#include <winsock2.h>

#include "sim/precompiled.h"

#include <gtest/gtest.h>
