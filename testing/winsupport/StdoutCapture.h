// testing/winsupport/StdoutCapture.h - collects what a test prints to standard output.
#pragma once
#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <string>

// Points descriptor 1 at a temporary file for its lifetime; Text() has the
// bytes written so far (in binary, so "\n" stays one byte).
class CStdoutCapture {
public:
  CStdoutCapture() {
    fflush(stdout);
    m_file = tmpfile();
    m_saved = _dup(1);
    if (m_file && m_saved >= 0) _dup2(_fileno(m_file), 1);
    _setmode(1, _O_BINARY);
  }
  ~CStdoutCapture() { Restore(); }
  std::string Text() {
    fflush(stdout);
    std::string text;
    if (!m_file) return text;
    fseek(m_file, 0, SEEK_SET);
    char buffer[512];
    size_t n;
    while ((n = fread(buffer, 1, sizeof(buffer), m_file)) > 0) text.append(buffer, n);
    fseek(m_file, 0, SEEK_END);
    return text;
  }

private:
  void Restore() {
    fflush(stdout);
    if (m_saved >= 0) {
      _dup2(m_saved, 1);
      _close(m_saved);
      m_saved = -1;
    }
    _setmode(1, _O_TEXT);
    if (m_file) fclose(m_file);
    m_file = nullptr;
  }
  FILE* m_file = nullptr;
  int m_saved = -1;
};
