// The handler families as one table of handler id and routine.
#include "editor/handler_registry.h"

#include "editor/big_operator_layout.h"
#include "editor/bracket_layout.h"
#include "editor/fraction_layout.h"
#include "editor/function_layout.h"
#include "editor/layout_handlers.h"
#include "editor/matrix_layout.h"
#include "editor/operator_layout.h"
#include "editor/radical_layout.h"

namespace {

struct FamilyHandler {
  LayoutHandler id;
  LayoutHandlerFn fn;
};

constexpr FamilyHandler kFamilyHandlers[] = {
    {LayoutHandler::InfixOperator, LayoutInfix},
    {LayoutHandler::PrefixSign, LayoutPrefixOperator},
    {LayoutHandler::NamedFunction, LayoutNamedFunction},
    {LayoutHandler::SignWithOperand, LayoutSign},
    {LayoutHandler::Log, LayoutLog},
    {LayoutHandler::PostfixSign, LayoutPostfix},
    {LayoutHandler::Over, LayoutFraction},
    {LayoutHandler::Power, LayoutPower},
    {LayoutHandler::Sn, LayoutScientific},
    {LayoutHandler::Sqrt, LayoutRadical},
    {LayoutHandler::BigOperator, LayoutBigOperator},
    {LayoutHandler::Integral, LayoutIntegral},
    {LayoutHandler::PairedDelimiters, LayoutBracket},
    {LayoutHandler::Abs, LayoutAbs},
    {LayoutHandler::Floor, LayoutFloor},
    {LayoutHandler::Ceil, LayoutCeil},
    {LayoutHandler::Set, LayoutSet},
    {LayoutHandler::PairInBrackets, LayoutInterval},
    {LayoutHandler::Branch, LayoutBranch},
    {LayoutHandler::Indexes, LayoutIndexes},
    {LayoutHandler::Matrix, LayoutMatrix},
    {LayoutHandler::Atop, LayoutAtop},
    {LayoutHandler::Function, LayoutFunction},
    {LayoutHandler::DerivativeOperator, LayoutDerivativeOperator},
    {LayoutHandler::Substitution, LayoutSubstitution},
    {LayoutHandler::Besselj, LayoutBesselJ},
    {LayoutHandler::Grad, LayoutGrad},
    {LayoutHandler::Lap, LayoutLaplacian},
};

}  // namespace

void RegisterHandlerFamilies() {
  for (const FamilyHandler& h : kFamilyHandlers) RegisterLayoutHandler(h.id, h.fn);
}
