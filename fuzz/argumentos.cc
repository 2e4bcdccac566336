// SPDX-License-Identifier: GPL-2.0-or-later
// The argument vector, station mode and administrative mode: one argument a
// line (FBB's shell never passes a line end inside an argument). The record
// filled from a station's line keeps every field within its size, and the
// whole run in an empty scratch root prints at most 1023 characters and ends
// with one of FBB's exit codes.
#include <cstring>
#include <string>
#include <vector>

#include "comun.h"
#include "driver/global.h"
#include "driver/talmir.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* datos, std::size_t n) {
    std::string_view texto(reinterpret_cast<const char*>(datos), n);
    if (texto.find('\0') != std::string_view::npos) return -1;  // no such argument exists
    std::vector<std::string> args = {"c_filter"};
    if (n > 0) {
        for (auto& a : fuzz::parte(texto, '\n')) args.push_back(a);
    }
    if (args.size() > 64) return -1;

    // The station record alone.
    fuzz::globales_iniciales();
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    int r = talmir::almacena_arg(static_cast<int>(args.size()), argv.data());
    VERIFICA(r == 1 || r == -1);
    fuzz::verifica_campos();
    if (r == 1) {
        VERIFICA(std::strlen(talmir::usuario.id) >= 1 && std::strlen(talmir::usuario.id) <= 6);
        VERIFICA(std::strlen(talmir::usuario.respuesta) <= 80);
        // Read again from the same arguments: the same record.
        talmir::USRS primero = talmir::usuario;
        VERIFICA(talmir::almacena_arg(static_cast<int>(args.size()), argv.data()) == 1);
        VERIFICA(fuzz::usuario_igual(primero, talmir::usuario));
    }

    // The whole run in an empty BBS: markers, logs and mail stay in the root.
    fuzz::Raiz& raiz = fuzz::Raiz::una();
    raiz.entra();
    fuzz::globales_iniciales();
    std::string salida;
    int codigo = fuzz::ejecuta(args, &salida);
    raiz.sale();
    fuzz::verifica_codigo(codigo);
    VERIFICA(salida.size() <= 1023);
    fuzz::verifica_campos();
    return 0;
}
