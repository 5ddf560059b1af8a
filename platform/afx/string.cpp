#include <strings.h>

#include <cstring>

#include "platform/afx.h"

int CString::CompareNoCase(LPCSTR text) const { return ::strcasecmp(m_text.c_str(), text != nullptr ? text : ""); }

int CString::Find(char c, int start) const {
  if (start < 0 || size_t(start) > m_text.size()) return -1;
  const size_t found = m_text.find(c, size_t(start));
  return found == std::string::npos ? -1 : int(found);
}

int CString::ReverseFind(char c) const {
  const size_t found = m_text.rfind(c);
  return found == std::string::npos ? -1 : int(found);
}

CString CString::Left(int count) const { return CString(m_text.substr(0, size_t(std::max(count, 0)))); }

CString CString::Mid(int first, int count) const {
  if (first < 0 || size_t(first) >= m_text.size()) return CString();
  return CString(count < 0 ? m_text.substr(size_t(first)) : m_text.substr(size_t(first), size_t(count)));
}

LPSTR CString::GetBuffer(int length) {
  if (length > 0 && size_t(length) > m_text.size()) m_text.resize(size_t(length));
  return m_text.data();
}

void CString::ReleaseBuffer(int newLength) {
  m_text.resize(newLength < 0 ? std::strlen(m_text.c_str()) : size_t(newLength));
}
