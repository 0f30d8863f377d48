// Calls an out-parameter operation (void F(T& out, const A&...), the library's form for the
// numeric kinds) as a function of its value, so formulas and machine steps read as expressions.
// Header-only; R is default-initialised and F must write all of it.
#pragma once

template <typename R, typename... A>
inline R ValueOf(void (*f)(R&, const A&...), const A&... a) {
  R r;
  f(r, a...);
  return r;
}
