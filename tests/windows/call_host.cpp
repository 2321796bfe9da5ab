// Makes the engine calls it is sent on standard input, one a line, and answers each on
// standard output: the Windows side of the conformance suite's run under Wine
// (conformance_wine.py is the other side). It binds the library the way the catalogue
// program does, by name through LoadLibraryA and GetProcAddress.
//
//   L SYMBOL...                        -> "R" and one 0/1 per symbol: is it exported?
//   C SYMBOL RESULT SIGNATURE ARG...   -> the result, then one "B hex" line per buffer
//
// RESULT is i (int32), s (text) or p (address); SIGNATURE has one letter per argument,
// i (int32), s (text) or v (buffer). An ARG is "i<int>", "s<hex>", "b<bytes>" (a zeroed
// buffer) or "n" (NULL). Results: "R <int>", "S <hex>", "N" (NULL text), "P <address>"
// followed by the 8 words there when they can be read.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Arg {
  int32_t i = 0;
  std::string bytes;          // a text, or a buffer's contents
  bool is_null = false;
  bool is_buffer = false;
  const char* text() const { return is_null ? nullptr : bytes.c_str(); }
  void* buffer() { return is_null ? nullptr : bytes.data(); }
};

std::string ToHex(const char* p, size_t n) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out(n * 2, '0');
  for (size_t k = 0; k < n; ++k) {
    const auto b = static_cast<unsigned char>(p[k]);
    out[2 * k] = kDigits[b >> 4];
    out[2 * k + 1] = kDigits[b & 15];
  }
  return out;
}

std::string FromHex(const std::string& hex) {
  std::string out(hex.size() / 2, '\0');
  for (size_t k = 0; k < out.size(); ++k) {
    out[k] = static_cast<char>(std::stoi(hex.substr(2 * k, 2), nullptr, 16));
  }
  return out;
}

Arg ParseArg(const std::string& token) {
  Arg a;
  switch (token.empty() ? 'n' : token[0]) {
    case 'i': a.i = static_cast<int32_t>(std::stoll(token.substr(1))); break;
    case 's': a.bytes = FromHex(token.substr(1)); break;
    case 'b':
      a.bytes.assign(std::stoul(token.substr(1)), '\0');
      a.is_buffer = true;
      break;
    default: a.is_null = true; break;
  }
  return a;
}

// Calls f with the argument types its signature names; R is the result type.
template <class R>
bool Invoke(FARPROC f, const std::string& sig, std::vector<Arg>& a, R& out) {
  using I = int32_t;
  using S = const char*;
  using V = void*;
  // Through void(*)(), the one function pointer type any other may be cast from quietly.
  auto fn = [f](auto* typed) {
    return reinterpret_cast<decltype(typed)>(reinterpret_cast<void (*)()>(f));
  };
  if (sig == "i") out = fn((R(*)(I)) nullptr)(a[0].i);
  else if (sig == "ii") out = fn((R(*)(I, I)) nullptr)(a[0].i, a[1].i);
  else if (sig == "iii") out = fn((R(*)(I, I, I)) nullptr)(a[0].i, a[1].i, a[2].i);
  else if (sig == "iiii") out = fn((R(*)(I, I, I, I)) nullptr)(a[0].i, a[1].i, a[2].i, a[3].i);
  else if (sig == "is") out = fn((R(*)(I, S)) nullptr)(a[0].i, a[1].text());
  else if (sig == "isi") out = fn((R(*)(I, S, I)) nullptr)(a[0].i, a[1].text(), a[2].i);
  else if (sig == "iisi") out = fn((R(*)(I, I, S, I)) nullptr)(a[0].i, a[1].i, a[2].text(), a[3].i);
  else if (sig == "ssi") out = fn((R(*)(S, S, I)) nullptr)(a[0].text(), a[1].text(), a[2].i);
  else if (sig == "sssi")
    out = fn((R(*)(S, S, S, I)) nullptr)(a[0].text(), a[1].text(), a[2].text(), a[3].i);
  else if (sig == "iisiiv")
    out = fn((R(*)(I, I, S, I, I, V)) nullptr)(a[0].i, a[1].i, a[2].text(), a[3].i, a[4].i,
                                               a[5].buffer());
  else if (sig == "iiiiiv")
    out = fn((R(*)(I, I, I, I, I, V)) nullptr)(a[0].i, a[1].i, a[2].i, a[3].i, a[4].i,
                                               a[5].buffer());
  else if (sig == "iiiv") out = fn((R(*)(I, I, I, V)) nullptr)(a[0].i, a[1].i, a[2].i, a[3].buffer());
  else return false;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: call_host LIBRARY\n");
    return 2;
  }
  HMODULE lib = LoadLibraryA(argv[1]);
  if (!lib) {
    std::fprintf(stderr, "cannot load %s: error %lu\n", argv[1], GetLastError());
    return 3;
  }
  std::map<std::string, FARPROC> procs;
  std::string line;
  while (std::getline(std::cin, line)) {
    std::istringstream in(line);
    std::string op, symbol;
    in >> op;
    std::ostringstream out;
    if (op == "L") {
      out << 'R';
      while (in >> symbol) {
        FARPROC f = GetProcAddress(lib, symbol.c_str());
        if (f) procs[symbol] = f;
        out << ' ' << (f ? 1 : 0);
      }
      out << '\n';
    } else if (op == "C") {
      std::string result, sig, token;
      in >> symbol >> result >> sig;
      std::vector<Arg> args;
      while (in >> token) args.push_back(ParseArg(token));
      const auto it = procs.find(symbol);
      bool ok = it != procs.end() && args.size() == sig.size();
      if (ok && result == "i") {
        int32_t r = 0;
        ok = Invoke(it->second, sig, args, r);
        out << "R " << r << '\n';
      } else if (ok && result == "s") {
        const char* r = nullptr;
        ok = Invoke(it->second, sig, args, r);
        if (r) out << "S " << ToHex(r, std::strlen(r)) << '\n';
        else out << "N\n";
      } else if (ok && result == "p") {
        intptr_t r = 0;
        ok = Invoke(it->second, sig, args, r);
        out << "P " << r;
        uint32_t words[8];
        SIZE_T got = 0;
        // ReadProcessMemory fails instead of faulting on an address that is not mapped.
        if (r >= 4096 && ReadProcessMemory(GetCurrentProcess(), reinterpret_cast<void*>(r),
                                           words, sizeof words, &got) && got == sizeof words) {
          for (uint32_t w : words) out << ' ' << w;
        }
        out << '\n';
      } else {
        ok = false;
      }
      if (!ok) {
        std::fprintf(stderr, "bad request: %s\n", line.c_str());
        return 4;
      }
      for (const Arg& a : args) {
        if (!a.is_buffer) continue;
        size_t used = a.bytes.size();
        while (used > 0 && a.bytes[used - 1] == '\0') --used;
        out << "B " << ToHex(a.bytes.data(), used) << '\n';
      }
    } else {
      std::fprintf(stderr, "bad request: %s\n", line.c_str());
      return 4;
    }
    std::cout << out.str() << std::flush;
  }
  return 0;
}
