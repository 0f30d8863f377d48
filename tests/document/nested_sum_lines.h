// Document lines of nested sums past the work limit of one evaluation at every point.
#pragma once

#include <string>

namespace nested_sums {

// Three nested sums of 10,000 terms over v: 10^12 terms at every point.
inline std::string TrillionTerms(const std::string& v) {
  return "sum[sum[sum[over[" + v + ",times[i,j,k]],equal[k,1],10000],equal[j,1],10000],equal[i,1],10000]";
}

// y = the sums above over x: the 96-byte document (with its line end).
inline std::string TrillionTermsLine() { return "equal[y," + TrillionTerms("x") + "]"; }

// Twenty-eight nested sums of two terms each around x: 2^28 terms at every point, past the limit
// (twenty, 2^20 terms, stay within it).
inline std::string NestedPairsPastTheLimitLine() {
  std::string s = "x";
  for (char index : std::string("abcdfghjklmnopqsABCDEFGHIJKL")) s = "sum[" + s + ",equal[" + index + ",1],2]";
  return "equal[y," + s + "]";
}

}  // namespace nested_sums
