// SPDX-License-Identifier: GPL-3.0-or-later
// ServedMethods: a method table entry bound to the member function that serves it.
#pragma once

#include "DispatchArguments.h"
#include "LocalText.h"

#include <QString>
#include <QVariant>

#include <array>
#include <cstddef>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

class CAudioExtensions;
class CCallEngine;
class CMixerMethods;

// The objects of one control that serve its methods.
struct ControlParts {
    CCallEngine& engine;
    CMixerMethods& mixer;
    CAudioExtensions& audio;

    template <typename C> C& Get() {
        if constexpr (std::is_same_v<C, CCallEngine>)
            return engine;
        else if constexpr (std::is_same_v<C, CMixerMethods>)
            return mixer;
        else
            return audio;
    }
};

// Each method of a table runs one member. Its arguments are taken from the coerced list
// and its result wrapped by the member's own signature, and a compile-time check holds the
// tables to the same ids, parameter letters and result letters.
namespace Served {

template <typename T> constexpr char LetterOf() {
    if constexpr (std::is_same_v<T, std::string> || std::is_same_v<T, QString>)
        return 's';
    else if constexpr (std::is_same_v<T, int32_t>)
        return 'l';
    else if constexpr (std::is_same_v<T, bool>)
        return 'b';
    else
        return 'v';
}

template <typename T> const T& Take(const Arg& arg) {
    if constexpr (std::is_same_v<T, std::string>)
        return arg.text;
    else if constexpr (std::is_same_v<T, int32_t>)
        return arg.number;
    else
        return arg.flag;
}

template <typename Member> struct Signature;
template <typename R, typename C, typename... P> struct Signature<R (C::*)(P...)> {
    using Class = C;
    static constexpr char kParams[] = {LetterOf<std::decay_t<P>>()..., '\0'};
    static constexpr char kResult = LetterOf<R>();

    template <auto Member, std::size_t... I>
    static QVariant Run(C& object, const std::vector<Arg>& a, std::index_sequence<I...>) {
        if constexpr (std::is_void_v<R>) {
            (object.*Member)(Take<std::decay_t<P>>(a[I])...);
            return {};
        } else if constexpr (std::is_same_v<R, std::string>) {
            // The control's strings are the locale's 8-bit text.
            const std::string text = (object.*Member)(Take<std::decay_t<P>>(a[I])...);
            return Tavrino::DecodeLocalText(QByteArrayView(text.data(), static_cast<qsizetype>(text.size())));
        } else {
            return QVariant((object.*Member)(Take<std::decay_t<P>>(a[I])...));
        }
    }
};
template <typename R, typename C, typename... P>
struct Signature<R (C::*)(P...) const> : Signature<R (C::*)(P...)> {};

struct Entry {
    qint32 dispid;
    const char* params;
    char result;
    QVariant (*run)(ControlParts&, const std::vector<Arg>&);
};

template <auto Member> constexpr Entry Serve(qint32 dispid) {
    using S = Signature<decltype(Member)>;
    return {dispid, S::kParams, S::kResult, [](ControlParts& parts, const std::vector<Arg>& a) {
                return S::template Run<Member>(parts.Get<typename S::Class>(), a,
                                               std::make_index_sequence<sizeof(S::kParams) - 1>());
            }};
}

constexpr bool SameLetters(const char* a, const char* b) {
    for (; *a != '\0' && *a == *b; ++a, ++b) {
    }
    return *a == *b;
}

template <std::size_t N>
constexpr bool ServesTheTable(const std::array<Entry, N>& served,
                              const std::array<Tavrino::MethodInfo, N>& methods) {
    for (std::size_t i = 0; i < N; ++i) {
        if (served[i].dispid != methods[i].dispid || served[i].result != methods[i].result ||
            !SameLetters(served[i].params, methods[i].params))
            return false;
    }
    return true;
}

} // namespace Served
