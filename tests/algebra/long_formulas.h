// Short formulas whose Math commands once cost far more than their results: the bracket texts
// the command bound tests, the window tests and the benchmarks share.
#pragma once

#include <string>

namespace long_formulas {

// (x+1)(x+2)...(x+n): n unlike factors, n + 1 terms once multiplied out.
inline std::string UnlikeFactors(int n) {
  std::string text = "times[";
  for (int k = 1; k <= n; ++k) text += (k > 1 ? ",plus[x," : "plus[x,") + std::to_string(k) + "]";
  return text + "]";
}

// (a+b+c+d+e+f+g+h)^p: C(p + 7, 7) terms.
inline std::string EightLetterPower(int p) { return "power[plus[a,b,c,d,e,f,g,h]," + std::to_string(p) + "]"; }

// Sums of two terms nested `levels` deep, the indexes j and k taking turns, over x j k + 1.
inline std::string NestedIndexSums(int levels) {
  std::string text = "plus[times[x,j,k],1]";
  for (int level = 0; level < levels; ++level) {
    const char* index = level % 2 == 0 ? "j" : "k";
    text = "sum[" + text + ",equal[" + index + ",1],2]";
  }
  return text;
}

// (...((x/(x+1))/(x+2))...)/(x+n): a quotient chain n levels deep, x over a product of n sums.
inline std::string QuotientChain(int levels) {
  std::string text = "x";
  for (int level = 1; level <= levels; ++level) text = "over[" + text + ",plus[x," + std::to_string(level) + "]]";
  return text;
}

// d/dv sin(sin(...sin(v))), sin nested `depth` deep, v the letter (x unless said).
inline std::string NestedSinDerivative(int depth, const std::string& v = "x") {
  std::string text = v;
  for (int k = 0; k < depth; ++k) text = "sin[" + text + "]";
  return "function[optotal[" + v + "]," + text + "]";
}

// A server's reply (upper case, as it writes it): the product of 1/(x + k) for k = 1..n.
inline std::string ReciprocalProductReply(int n) {
  std::string text = "TIMES[";
  for (int k = 1; k <= n; ++k) text += (k > 1 ? ",OVER[1,PLUS[X," : "OVER[1,PLUS[X,") + std::to_string(k) + "]]";
  return text + "]";
}

}  // namespace long_formulas
