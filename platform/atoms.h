// The Win32 local atom table: names (compared without regard to case, by
// wcscasecmp) mapped to 16-bit atoms, with a reference count per name.
//
// The table is a process-wide singly linked list, gclAtomList, in creation
// order. An entry's id comes from CAtom::gnId, which starts at 1 and grows by
// one per new entry; its low 16 bits are the atom. After 65,535 entries the
// ids wrap: a new entry skips every id whose atom is 0 or already in the
// table, so two live names never share an atom (AddAtom answers 0 when all
// 65,535 atoms are in use).
//
// Ownership: the table owns its entries and their names (wcsdup copies,
// freed with free); gclAtomList's destructor frees what is left at exit.
// Threads: no lock; callers serialise (the driver mutex).
#ifndef KQ230_PLATFORM_ATOMS_H_
#define KQ230_PLATFORM_ATOMS_H_

class CAtom {
 public:
  static int gnId;  // the next id to try

  int m_nRefCount = 1;
  int m_nId = 0;
  CAtom* m_pNext = nullptr;
  wchar_t* m_pszName = nullptr;
};

class CAtomList {
 public:
  CAtomList() = default;
  ~CAtomList();
  CAtomList(const CAtomList&) = delete;
  CAtomList& operator=(const CAtomList&) = delete;

  CAtom* pclFind(const wchar_t* pszName) const;
  CAtom* pclFind(unsigned short nAtom) const;
  // Entries in the table.
  int nCount() const;

  CAtom* m_pHead = nullptr;
};

extern CAtomList gclAtomList;

// Null or a name that cannot be copied: 0. A name already in the table gets
// one more reference and its atom; otherwise a new entry (count 1) is
// appended and its atom answered.
unsigned short AddAtom(const wchar_t* pszName);
// The atom of the name, or 0.
unsigned short FindAtom(const wchar_t* pszName);
// An atom not in the table is answered unchanged. Otherwise one reference is
// dropped (the entry freed with the last) and the answer is 0.
unsigned short DeleteAtom(unsigned short nAtom);
// Copies the name into the buffer of nSize characters, cut to nSize - 1 and
// always terminated; answers the characters copied (terminator excluded).
// 0 for an atom not in the table or nSize <= 0 (buffer untouched).
int GetAtomName(unsigned short nAtom, wchar_t* pszBuffer, int nSize);

#endif  // KQ230_PLATFORM_ATOMS_H_
