#pragma once
// The system and standard headers nearly every source of the add-in includes, precompiled once
// for all the layers of the shipped DLL's build (see vantrell_layer in CMakeLists.txt); parsing
// them was more than half of each source's compile. Each source still includes what it uses.
#include <windows.h>
#include <objbase.h>
#include <oaidl.h>
#include <oleauto.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>
