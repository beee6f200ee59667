#pragma once
// The interfaces, classes and enumerations of the add-in's type library (generated from
// Vantrell.idl). Include this rather than the generated header: the RegOptions member
// ExpandEnvironmentStrings shares its name with a Windows macro, which must go first.
#include <windows.h>
#include <ole2.h>

#undef ExpandEnvironmentStrings

#include "Vantrell.h"
