#include <cstring>

#include "platform/afx.h"

LPSTR CString::GetBuffer(int length) {
  if (length > 0 && size_t(length) > m_text.size()) m_text.resize(size_t(length));
  return m_text.data();
}

void CString::ReleaseBuffer(int newLength) {
  m_text.resize(newLength < 0 ? std::strlen(m_text.c_str()) : size_t(newLength));
}
