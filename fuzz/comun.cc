// SPDX-License-Identifier: GPL-2.0-or-later
#include "comun.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <list>

#include "driver/disco.h"
#include "driver/rutas.h"
#include "driver/talmir.h"
#include "driver/texto.h"
#include "texts/lenguaje.h"

namespace fuzz {

namespace {

// The clock of every input: 15 March 2024, 12:00 UTC (a Friday).
constexpr std::time_t kAhora = 1710504000;

// A fixed path of the program without the "./" of the harnesses' root.
std::string relativa(const char* ruta) {
    std::string s = ruta;
    while (s.compare(0, 2, "./") == 0) s.erase(0, 2);
    while (!s.empty() && s[0] == '/') s.erase(0, 1);
    return s;
}

// A memory file system where there is one: every input makes and removes a
// tree of files, and directories are slow to remove on disk.
std::string directorio_temporal() {
    const char* tmp = std::getenv("TALMIR_FUZZ_TMP");
    if (tmp == nullptr || tmp[0] == '\0')
        tmp = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : nullptr;
    if (tmp == nullptr) tmp = std::getenv("TMPDIR");
    if (tmp == nullptr || tmp[0] == '\0') tmp = "/tmp";
    return tmp;
}

bool termina(const char* campo, std::size_t size) {
    return std::memchr(campo, '\0', size) != nullptr;
}

template <std::size_t N>
bool texto_igual(const char (&a)[N], const char (&b)[N]) {
    return std::strncmp(a, b, N) == 0;
}

}  // namespace

void falla(const char* que, const char* donde) {
    std::fprintf(stderr, "\n*** invariant broken at %s: %s\n", donde, que);
    std::abort();
}

Raiz& Raiz::una() {
    static Raiz raiz;
    return raiz;
}

Raiz::Raiz() : RaizTemporal(directorio_temporal(), "talmir-fuzz") {}

void Raiz::entra() {
    vacia();
    if (anterior_ < 0) anterior_ = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (chdir(dir().c_str()) != 0) {
        std::perror("chdir");
        std::abort();
    }
}

void Raiz::sale() {
    if (anterior_ >= 0 && fchdir(anterior_) != 0) {
        std::perror("fchdir");
        std::abort();
    }
}

std::string trabajo(const std::string& nombre) {
    return relativa(talmir::DIR_TRABAJO) + "/" + nombre;
}

Entrada::Entrada(const std::uint8_t* datos, std::size_t n) {
    std::string_view todo(reinterpret_cast<const char*>(datos), n);
    std::size_t fin = todo.find('\n');
    if (fin == std::string_view::npos) {
        parametros = std::string(todo);
        resto = std::string_view();
    } else {
        parametros = std::string(todo.substr(0, fin));
        resto = todo.substr(fin + 1);
    }
}

std::string Entrada::palabra(std::size_t i, const std::string& defecto) const {
    std::vector<std::string> v;
    std::size_t p = 0;
    while (p < parametros.size()) {
        while (p < parametros.size() && parametros[p] == ' ') ++p;
        std::size_t q = p;
        while (q < parametros.size() && parametros[q] != ' ') ++q;
        if (q > p) v.push_back(parametros.substr(p, q - p));
        p = q;
    }
    return i < v.size() ? v[i] : defecto;
}

long Entrada::numero(std::size_t i, long defecto) const {
    std::string p = palabra(i, "");
    if (p.empty()) return defecto;
    return talmir::a_numero(p.c_str());
}

std::vector<std::string> parte(std::string_view texto, char separador) {
    std::vector<std::string> v;
    std::size_t p = 0;
    for (;;) {
        std::size_t q = texto.find(separador, p);
        if (q == std::string_view::npos) {
            v.emplace_back(texto.substr(p));
            return v;
        }
        v.emplace_back(texto.substr(p, q - p));
        p = q + 1;
    }
}

void globales_iniciales() {
    unsetenv("TALMIR");
    unsetenv("FBBCONF");
    talmir::reinicia_globales();
    talmir::inicia_globales(kAhora);
    talmir::textos_defecto();
}

std::string indicativo(const std::string& palabra) {
    std::string s;
    for (char c : palabra) {
        bool alnum = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
        if (alnum && s.size() < 6) s += c;
    }
    return s.empty() ? "N0CALL" : s;
}

int ejecuta(std::vector<std::string>& args, std::string* salida) {
    static int memoria = memfd_create("talmir-salida", MFD_CLOEXEC);
    static int stdout_real = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 10);
    if (memoria < 0 || stdout_real < 0) falla("memfd_create or dup", __FILE__);
    if (ftruncate(memoria, 0) != 0 || lseek(memoria, 0, SEEK_SET) != 0) falla("memfd", __FILE__);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::fflush(stdout);
    dup2(memoria, STDOUT_FILENO);
    int codigo = talmir::talmir_main(static_cast<int>(args.size()), argv.data());
    dup2(stdout_real, STDOUT_FILENO);
    salida->clear();
    char buf[4096];
    ssize_t n;
    lseek(memoria, 0, SEEK_SET);
    while ((n = read(memoria, buf, sizeof buf)) > 0)
        salida->append(buf, static_cast<std::size_t>(n));
    return codigo;
}

void verifica_campos() {
    using namespace talmir;
    VERIFICA(termina(usuario.id, sizeof usuario.id));
    VERIFICA(termina(usuario.respuesta, sizeof usuario.respuesta));
    VERIFICA(termina(usuario.password, sizeof usuario.password));
    VERIFICA(termina(cfg.lng_file, sizeof cfg.lng_file));
    for (const auto& s : cfg.sysop) VERIFICA(termina(s, sizeof s));
    VERIFICA(cfg.num_sysop <= 5);
    VERIFICA(termina(cfg.prompt, sizeof cfg.prompt));
    VERIFICA(termina(infbbs.id, sizeof infbbs.id));
    VERIFICA(termina(infbbs.locator, sizeof infbbs.locator));
    VERIFICA(termina(infbbs.qth, sizeof infbbs.qth));
    VERIFICA(termina(infbbs.nsysop, sizeof infbbs.nsysop));
    VERIFICA(termina(infbbs.sysop, sizeof infbbs.sysop));
    VERIFICA(termina(infbbs.fch_correo, sizeof infbbs.fch_correo));
    VERIFICA(termina(infbbs.fch_bloq_correo, sizeof infbbs.fch_bloq_correo));
    VERIFICA(termina(infbbs.ruta_system, sizeof infbbs.ruta_system));
    VERIFICA(termina(infbbs.ruta_datadir, sizeof infbbs.ruta_datadir));
    VERIFICA(termina(version, sizeof version));
    VERIFICA(termina(hor, sizeof hor));
    VERIFICA(termina(cabprt, sizeof cabprt));
    for (const auto& d : desc_port) VERIFICA(termina(d, sizeof d));
    for (const auto& l : lenguaje) VERIFICA(termina(l, sizeof l));
}

void verifica_respuesta(const char* r_buf) {
    VERIFICA(strnlen(r_buf, talmir::RBUF_SIZE) < talmir::RBUF_SIZE);
}

void verifica_codigo(int codigo) {
    VERIFICA(codigo == 0 || codigo == 1 || codigo == 2 || codigo == 3 || codigo == 4 ||
             codigo == 11);
}

bool cfg_igual(const talmir::CFGS& a, const talmir::CFGS& b) {
    if (!texto_igual(a.lng_file, b.lng_file) || a.num_sysop != b.num_sysop) return false;
    for (int i = 0; i < a.num_sysop && i < 5; ++i) {
        if (!texto_igual(a.sysop[i], b.sysop[i])) return false;
    }
    return a.num_int == b.num_int && a.sec_ops == b.sec_ops && texto_igual(a.prompt, b.prompt) &&
           a.txt_lang == b.txt_lang && a.txt_cnx == b.txt_cnx && a.txt_dcnx == b.txt_dcnx &&
           a.txt_guest == b.txt_guest && a.txt_intro == b.txt_intro &&
           a.txtintro_ops == b.txtintro_ops && a.txt_nusr == b.txt_nusr &&
           a.newusr_ops == b.newusr_ops && a.msj_nusr == b.msj_nusr && a.log_cnx == b.log_cnx &&
           a.logcnx_ops == b.logcnx_ops && a.log_dcnx == b.log_dcnx && a.log_nopas == b.log_nopas &&
           a.modo_def == b.modo_def;
}

bool infbbs_igual(const talmir::INFBBSS& a, const talmir::INFBBSS& b) {
    return texto_igual(a.id, b.id) && texto_igual(a.locator, b.locator) &&
           texto_igual(a.qth, b.qth) && texto_igual(a.nsysop, b.nsysop) &&
           texto_igual(a.sysop, b.sysop) && texto_igual(a.fch_correo, b.fch_correo) &&
           texto_igual(a.fch_bloq_correo, b.fch_bloq_correo) &&
           texto_igual(a.ruta_system, b.ruta_system) && texto_igual(a.ruta_datadir, b.ruta_datadir);
}

bool usuario_igual(const talmir::USRS& a, const talmir::USRS& b) {
    return texto_igual(a.id, b.id) && a.ssid == b.ssid && a.llamada == b.llamada &&
           a.mascara == b.mascara && a.nuevo == b.nuevo && a.registro == b.registro &&
           a.puerto == b.puerto && texto_igual(a.respuesta, b.respuesta) && a.modo == b.modo &&
           texto_igual(a.password, b.password);
}

bool lenguaje_igual(const char (&a)[30][81], const char (&b)[30][81]) {
    for (int i = 0; i < 30; ++i) {
        if (!texto_igual(a[i], b[i])) return false;
    }
    return true;
}

const std::string& ejemplo(const std::string& nombre) {
    static std::list<std::pair<std::string, std::string>> leidos;  // references stay valid
    for (const auto& l : leidos) {
        if (l.first == nombre) return l.second;
    }
    std::string ruta = std::string(TALMIR_SOURCE_DIR) + "/examples/" + nombre;
    std::FILE* f = std::fopen(ruta.c_str(), "rb");
    if (f == nullptr) falla("an example file cannot be read", ruta.c_str());
    std::string s;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
    std::fclose(f);
    leidos.emplace_back(nombre, s);
    return leidos.back().second;
}

void fbb_minimo(const Raiz& raiz) {
    raiz.escribe(relativa(talmir::FBB_CONF),
                 "callsign = N0BBS\n"
                 "qraloc = JN18DU\n"
                 "city = Fuzzville\n"
                 "sysop = N0SYS\n");
}

void port_sys_ejemplo(const Raiz& raiz) {
    raiz.escribe(relativa(talmir::FBB_SYSTEM) + "/port.sys",
                 "1 4\n"
                 "1 9 127.0.0.1 6300\n"
                 "0 0 0 0 0 0 0 0 00/01 ---- File\n"
                 "1 8 1 1 250 2 1 10 00/60 TU VHF\n"
                 "2 8 1 2 250 2 1 10 00/60 TU UHF\n"
                 "3 4 1 3 250 2 1 10 00/60 TU HF\n"
                 "4 4 1 4 250 2 1 10 00/60 TU LINK\n");
}

}  // namespace fuzz
