#include "platform/rectangles.h"

namespace {

int Add(int a, int b) {
  return static_cast<int>(static_cast<unsigned int>(a) + static_cast<unsigned int>(b));
}
int Sub(int a, int b) {
  return static_cast<int>(static_cast<unsigned int>(a) - static_cast<unsigned int>(b));
}
bool Empty(const tagRECT& rc) { return rc.left >= rc.right || rc.top >= rc.bottom; }

}  // namespace

int SetRect(tagRECT* prc, int nLeft, int nTop, int nRight, int nBottom) {
  if (prc == nullptr) return 0;
  *prc = tagRECT{nLeft, nTop, nRight, nBottom};
  return 1;
}

tagRECT* SetRectEmpty(tagRECT* prc) {
  if (prc != nullptr) *prc = tagRECT{0, 0, 0, 0};
  return prc;
}

int CopyRect(tagRECT* prcDst, const tagRECT* prcSrc) {
  if (prcDst == nullptr || prcSrc == nullptr) return 0;
  *prcDst = *prcSrc;
  return 1;
}

int IsRectEmpty(const tagRECT* prc) { return prc == nullptr || Empty(*prc); }

int EqualRect(const tagRECT* prcA, const tagRECT* prcB) {
  if (prcA == nullptr || prcB == nullptr) return 0;
  return prcA->left == prcB->left && prcA->top == prcB->top && prcA->right == prcB->right &&
         prcA->bottom == prcB->bottom;
}

int PtInRect(const tagRECT* prc, tagPOINT pt) {
  if (prc == nullptr) return 0;
  return prc->left <= pt.x && pt.x < prc->right && prc->top <= pt.y && pt.y < prc->bottom;
}

tagRECT* InflateRect(tagRECT* prc, int dx, int dy) {
  if (prc == nullptr) return nullptr;
  prc->left = Sub(prc->left, dx);
  prc->top = Sub(prc->top, dy);
  prc->right = Add(prc->right, dx);
  prc->bottom = Add(prc->bottom, dy);
  return prc;
}

tagRECT* OffsetRect(tagRECT* prc, int dx, int dy) {
  if (prc == nullptr) return nullptr;
  bEmule_OffsetRect(prc, dx, dy);
  return prc;
}

int UnionRect(tagRECT* prcOut, const tagRECT* prcA, const tagRECT* prcB) {
  if (prcOut == nullptr || prcA == nullptr || prcB == nullptr) return 0;
  const tagRECT a = *prcA, b = *prcB;
  if (Empty(a) && Empty(b)) {
    *prcOut = tagRECT{0, 0, 0, 0};
    return 0;
  }
  if (Empty(a)) {
    *prcOut = b;
  } else if (Empty(b)) {
    *prcOut = a;
  } else {
    *prcOut = tagRECT{a.left < b.left ? a.left : b.left, a.top < b.top ? a.top : b.top,
                      a.right > b.right ? a.right : b.right,
                      a.bottom > b.bottom ? a.bottom : b.bottom};
  }
  return 1;
}

int IntersectRect(tagRECT* prcOut, const tagRECT* prcA, const tagRECT* prcB) {
  if (prcOut == nullptr || prcA == nullptr || prcB == nullptr) return 0;
  return bEmule_IntersectRect(prcOut, prcA, prcB);
}

int SubtractRect(tagRECT* prcOut, const tagRECT* prcA, const tagRECT* prcB) {
  if (prcOut == nullptr || prcA == nullptr || prcB == nullptr) return 0;
  const tagRECT a = *prcA, b = *prcB;
  if (Empty(a)) {
    *prcOut = tagRECT{0, 0, 0, 0};
    return 0;
  }
  tagRECT rc = a;
  tagRECT i;
  if (bEmule_IntersectRect(&i, &a, &b)) {
    if (i.left == a.left && i.right == a.right) {
      if (i.top == a.top && i.bottom == a.bottom) {
        *prcOut = tagRECT{0, 0, 0, 0};
        return 0;
      }
      if (i.top == a.top) {
        rc.top = i.bottom;
      } else if (i.bottom == a.bottom) {
        rc.bottom = i.top;
      }
    } else if (i.top == a.top && i.bottom == a.bottom) {
      if (i.left == a.left) {
        rc.left = i.right;
      } else if (i.right == a.right) {
        rc.right = i.left;
      }
    }
  }
  *prcOut = rc;
  return !Empty(rc);
}
