// tarvik_idl: writes TarvikInvoice.idl from the member tables.
//   tarvik_idl OUTPUT.idl
// Exits 1, writing nothing, when a table and its C++ interface disagree.
#include <fstream>
#include <iostream>
#include <sstream>

#include "automation/typelib/idl_writer.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: tarvik_idl OUTPUT.idl\n";
    return 2;
  }
  std::ostringstream idl;
  auto faults = tarvik::automation::WriteIdl(idl);
  if (!faults.empty()) {
    for (const auto& f : faults) std::cerr << "tarvik_idl: " << f << '\n';
    return 1;
  }
  std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
  out << idl.str();
  out.close();
  if (!out) {
    std::cerr << "tarvik_idl: cannot write " << argv[1] << '\n';
    return 1;
  }
  return 0;
}
