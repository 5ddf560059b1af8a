// Our stand-in for the platform's main API header. Application code includes
// this (or platform/afx.h) and nothing system-specific.
#pragma once

#include "platform/win32/types.h"
#include "platform/win32/io.h"
#include "platform/win32/window.h"
#include "platform/win32/shell.h"
#include "platform/win32/registry.h"
