#include "entorno.h"

#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "auth/md2c.h"
#include "auth/md5c.h"
#include "driver/global.h"
#include "texts/lenguaje.h"

namespace prueba {

namespace {

int borra_entrada(const char* ruta, const struct stat*, int, struct FTW*) {
    return std::remove(ruta);
}

void crea_dirs(const std::string& ruta) {
    for (std::size_t i = 1; i <= ruta.size(); ++i) {
        if (i == ruta.size() || ruta[i] == '/') mkdir(ruta.substr(0, i).c_str(), 0777);
    }
}

std::string lee_fd(int fd) {
    std::string s;
    char buf[4096];
    ssize_t n;
    while ((n = read(fd, buf, sizeof buf)) > 0 || (n < 0 && errno == EINTR)) {
        if (n > 0) s.append(buf, static_cast<std::size_t>(n));
    }
    return s;
}

}  // namespace

Raiz::Raiz() {
    char plantilla[] = "/tmp/talmir-prueba.XXXXXX";
    char* d = mkdtemp(plantilla);
    if (d == nullptr) std::abort();
    dir_ = d;
    crea_dir("var/ax25/fbb/talmir");
    crea_dir("var/ax25/fbb/mail");
    crea_dir("etc/ax25/fbb");
}

Raiz::~Raiz() {
    nftw(dir_.c_str(), borra_entrada, 16, FTW_DEPTH | FTW_PHYS);
}

std::string Raiz::ruta(const std::string& rel) const {
    return dir_ + "/" + rel;
}

std::string Raiz::trabajo(const std::string& nombre) {
    return "var/ax25/fbb/talmir/" + nombre;
}

void Raiz::escribe(const std::string& rel, const std::string& contenido) const {
    std::string r = ruta(rel);
    crea_dirs(r.substr(0, r.rfind('/')));
    FILE* f = std::fopen(r.c_str(), "wb");
    ASSERT_NE(f, nullptr) << r;
    std::fwrite(contenido.data(), 1, contenido.size(), f);
    std::fclose(f);
}

std::string Raiz::lee(const std::string& rel) const {
    FILE* f = std::fopen(ruta(rel).c_str(), "rb");
    if (f == nullptr) return std::string();
    std::string s;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
    std::fclose(f);
    return s;
}

bool Raiz::existe(const std::string& rel) const {
    return access(ruta(rel).c_str(), F_OK) == 0;
}

void Raiz::borra(const std::string& rel) const {
    std::remove(ruta(rel).c_str());
}

void Raiz::crea_dir(const std::string& rel) const {
    crea_dirs(ruta(rel));
}

void Raiz::fbb_basico() const {
    escribe("etc/ax25/fbb.conf",
            "# FBB configuration for the tests\n"
            "version = FBB7.0.11\n"
            "callsign = n0bbs\n"
            "ssid = 0\n"
            "qraloc = jn18du\n"
            "city = \"Testville, Nowhere\"\n"
            "name = Sysop Name\n"
            "sysop = n0sys\n"
            "config = " +
                ruta("etc/ax25/fbb") +
                "/\n"
                "data = " +
                ruta("var/ax25/fbb") +
                "/\n"
                "import = " +
                ruta(mail_in()) + "\n");
}

Resultado ejecuta(const Raiz& raiz, const std::vector<std::string>& args,
                  const std::vector<std::string>& entorno) {
    return ejecuta_programa(TALMIR_BIN, raiz, args, entorno);
}

Resultado ejecuta_programa(const std::string& programa, const Raiz& raiz,
                           const std::vector<std::string>& args,
                           const std::vector<std::string>& entorno) {
    Resultado r;
    int out[2], err[2];
    if (pipe(out) != 0 || pipe(err) != 0) return r;
    pid_t pid = fork();
    if (pid == 0) {
        if (chdir(raiz.dir().c_str()) != 0) _exit(127);
        int nulo = open("/dev/null", O_RDONLY);
        dup2(nulo, 0);
        dup2(out[1], 1);
        dup2(err[1], 2);
        close(out[0]);
        close(err[0]);
        std::vector<char*> argv;
        std::string nombre = programa;
        argv.push_back(nombre.data());
        std::vector<std::string> copia_args = args;
        for (auto& a : copia_args) argv.push_back(a.data());
        argv.push_back(nullptr);
        std::vector<std::string> env = {"PATH=/usr/bin:/bin", "TZ=UTC"};
        for (const auto& e : entorno) env.push_back(e);
        std::vector<char*> envp;
        for (auto& e : env) envp.push_back(e.data());
        envp.push_back(nullptr);
        execve(programa.c_str(), argv.data(), envp.data());
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    // Standard error is small; read standard output first, then it.
    r.salida = lee_fd(out[0]);
    r.errores = lee_fd(err[0]);
    close(out[0]);
    close(err[0]);
    int estado = 0;
    while (waitpid(pid, &estado, 0) < 0 && errno == EINTR) {
    }
    r.codigo = WIFEXITED(estado) ? WEXITSTATUS(estado) : -1;
    return r;
}

Resultado estacion(const Raiz& raiz, const std::string& indicativo, int llamada, int mascara,
                   int nuevo, int puerto, const std::string& respuesta,
                   const std::vector<std::string>& entorno) {
    std::vector<std::string> args = {
        indicativo, std::to_string(llamada), std::to_string(mascara), std::to_string(nuevo),
        "0",        std::to_string(puerto)};
    if (!respuesta.empty()) args.push_back(respuesta);
    return ejecuta(raiz, args, entorno);
}

const char kBanner[] =
    "\n"
    "\t\t\t   ***** TALMIR v4.1\xE1"
    "2 *****\n"
    "\t\t  Autentificador de usuarios para BBS radio\n"
    "\t\t  Este software ha de ser ejecutado por FBB\n"
    "\n"
    "\n";

std::size_t cuenta(const std::string& texto, const std::string& trozo) {
    std::size_t n = 0;
    for (std::size_t p = texto.find(trozo); p != std::string::npos; p = texto.find(trozo, p + 1))
        ++n;
    return n;
}

std::string hex2(const std::string& texto) {
    char h[33];
    talmir::md2_hex(reinterpret_cast<const unsigned char*>(texto.data()), texto.size(), h);
    return h;
}

std::string hex5(const std::string& texto) {
    char h[33];
    talmir::md5_hex(reinterpret_cast<const unsigned char*>(texto.data()), texto.size(), h);
    return h;
}

std::string mayusculas(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

std::string id_linea() {
    return std::string(
        "{TALMIR-4.1\xE1"
        "2}\n");
}

void EnProceso::SetUp() {
    char actual[4096];
    if (getcwd(actual, sizeof actual) != nullptr) anterior_ = actual;
    ASSERT_EQ(chdir(raiz.dir().c_str()), 0);
    unsetenv("TALMIR");
    talmir::reinicia_globales();
    talmir::inicia_globales(std::time(nullptr));
    talmir::textos_defecto();
}

void EnProceso::TearDown() {
    if (!anterior_.empty() && chdir(anterior_.c_str()) != 0) std::abort();
}

std::string config_basica(const std::string& puertos, const std::string& intentos,
                          const std::vector<std::string>& interruptores) {
    std::string s = "**\nN0SYS N1SYS\n" + intentos + "\nPASSWORD>\n";
    for (std::size_t i = 0; i < 10; ++i)
        s += (i < interruptores.size() ? interruptores[i] : "NO") + "\n";
    return s + puertos;
}

}  // namespace prueba
