// A broken property names itself on stderr and traps, so libFuzzer keeps the
// input as a crash.
#pragma once

#include <cstdio>

[[noreturn]] inline void Broken(const char *property, const char *file, int line)
{
    fprintf(stderr, "%s:%d: property broken: %s\n", file, line, property);
    __builtin_trap();
}

#define CHECK(property) ((property) ? (void)0 : Broken(#property, __FILE__, __LINE__))
