// eNAOperator: the operator of one node of a search condition (values 0 to
// 14: empty, OR, AND, NOT, the comparisons, a parsed condition, the two
// constants, IS NULL and IS NOT NULL). The condition tree and the command
// of the SQL builder live above this folder; the enumeration sits here
// because the NULL-selection sets of the items (items/column_null_selection.h)
// are combined under it, and a lower folder cannot include a higher one.
//
// Threads: a plain enumeration.
#ifndef KQ230_ITEMS_NA_OPERATOR_H_
#define KQ230_ITEMS_NA_OPERATOR_H_

enum eNAOperator : int {
  NA_OP_EMPTY = 0,
  NA_OP_OR = 1,
  NA_OP_AND = 2,
  NA_OP_NOT = 3,
  NA_OP_EQUAL = 4,
  NA_OP_GREATER = 5,
  NA_OP_LESS = 6,
  NA_OP_GREATER_OR_EQUAL = 7,
  NA_OP_LESS_OR_EQUAL = 8,
  NA_OP_PARSED_CONDITION = 9,
  NA_OP_ALWAYS_FALSE = 10,
  NA_OP_ALWAYS_TRUE = 11,
  NA_OP_DIFFERENT = 12,
  NA_OP_IS_NULL = 13,
  NA_OP_IS_NOT_NULL = 14,
};

#endif  // KQ230_ITEMS_NA_OPERATOR_H_
