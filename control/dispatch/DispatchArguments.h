// SPDX-License-Identifier: GPL-3.0-or-later
// DispatchArguments: a late-bound call's arguments coerced as a dispatch call would.
#pragma once

#include "TavrinoStandardApi.h"

#include <QVariant>

#include <cstdint>
#include <string>
#include <vector>

// One argument after coercion to the type the method's parameter asks for.
struct Arg {
    int32_t number = 0;
    std::string text; // the locale's 8-bit text
    bool flag = false;
};

// Each argument as the parameter letters of `method` ask ('l' long, 's' string, 'b'
// BOOL): numbers rounded half to even as dispatch does, text to the locale's 8-bit
// encoding, the dispatch truth values. False for a wrong argument count or an argument
// that cannot be coerced.
bool Coerce(const Tavrino::MethodInfo& method, const QVariantList& args, std::vector<Arg>* out);
