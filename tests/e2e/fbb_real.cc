// SPDX-License-Identifier: GPL-2.0-or-later
#include "fbb_real.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <thread>

#include "auth/md5c.h"

namespace e2e {

namespace {

std::string red_ = "loopback";

using Reloj = std::chrono::steady_clock;

int ms_hasta(Reloj::time_point fin) {
    auto resto = std::chrono::duration_cast<std::chrono::milliseconds>(fin - Reloj::now()).count();
    return resto < 0 ? 0 : static_cast<int>(resto);
}

bool escribe_fichero(const std::string& ruta, const std::string& contenido, mode_t modo = 0644) {
    int fd = open(ruta.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, modo);
    if (fd < 0) return false;
    std::size_t hecho = 0;
    while (hecho < contenido.size()) {
        ssize_t n = write(fd, contenido.data() + hecho, contenido.size() - hecho);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        hecho += static_cast<std::size_t>(n);
    }
    close(fd);
    return hecho == contenido.size();
}

std::string lee_fichero(const std::string& ruta) {
    std::string s;
    int fd = open(ruta.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return s;
    char buf[8192];
    ssize_t n;
    while ((n = read(fd, buf, sizeof buf)) > 0 || (n < 0 && errno == EINTR)) {
        if (n > 0) s.append(buf, static_cast<std::size_t>(n));
    }
    close(fd);
    return s;
}

void crea_dirs(const std::string& ruta) {
    for (std::size_t i = 1; i <= ruta.size(); ++i) {
        if (i == ruta.size() || ruta[i] == '/') mkdir(ruta.substr(0, i).c_str(), 0755);
    }
}

// Copies a directory tree of regular files (the package's sample files).
bool copia_arbol(const std::string& de, const std::string& a) {
    DIR* d = opendir(de.c_str());
    if (d == nullptr) return false;
    crea_dirs(a);
    bool bien = true;
    while (dirent* e = readdir(d)) {
        std::string nombre = e->d_name;
        if (nombre == "." || nombre == "..") continue;
        std::string origen = de + "/" + nombre, destino = a + "/" + nombre;
        struct stat st;
        if (stat(origen.c_str(), &st) != 0) continue;
        if (S_ISDIR(st.st_mode)) {
            bien = copia_arbol(origen, destino) && bien;
        } else if (S_ISREG(st.st_mode)) {
            bien = escribe_fichero(destino, lee_fichero(origen)) && bien;
        }
    }
    closedir(d);
    return bien;
}

int borra_entrada(const char* ruta, const struct stat*, int, struct FTW*) {
    return std::remove(ruta);
}

// Whether something listens on 127.0.0.1:puerto, from the kernel's table of
// this network namespace (a test connection would be a session for FBB).
bool escucha(int puerto) {
    std::string tabla = lee_fichero("/proc/net/tcp");
    char buscado[32];
    std::snprintf(buscado, sizeof buscado, ":%04X 00000000:0000 0A", puerto);
    return tabla.find(buscado) != std::string::npos;
}

bool sube_lo() {
    int s = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (s < 0) return false;
    ifreq ifr;
    std::memset(&ifr, 0, sizeof ifr);
    std::strncpy(ifr.ifr_name, "lo", IFNAMSIZ - 1);
    bool bien = ioctl(s, SIOCGIFFLAGS, &ifr) == 0;
    ifr.ifr_flags = static_cast<short>(ifr.ifr_flags | IFF_UP);
    bien = bien && ioctl(s, SIOCSIFFLAGS, &ifr) == 0;
    close(s);
    return bien;
}

sockaddr_in direccion(int puerto) {
    sockaddr_in a;
    std::memset(&a, 0, sizeof a);
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(puerto));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

void envia_todo(int fd, const std::string& s) {
    std::size_t hecho = 0;
    while (hecho < s.size()) {
        ssize_t n = send(fd, s.data() + hecho, s.size() - hecho, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        hecho += static_cast<std::size_t>(n);
    }
}

// The words a shell makes of a command's arguments quoted by the patched
// FBB: single quotes removed, '\'' for a quote inside a word; words
// separated by one space.
std::string palabras_shell(const std::string& s) {
    std::string r, p;
    bool hay = false, citado = false;
    for (std::size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        if (citado) {
            if (c == '\'') {
                citado = false;
            } else {
                p += c;
            }
        } else if (c == '\'') {
            citado = hay = true;
        } else if (c == '\\' && i + 1 < s.size()) {
            p += s[++i];
            hay = true;
        } else if (c == ' ' || c == '\t') {
            if (hay) r += (r.empty() ? "" : " ") + p;
            p.clear();
            hay = false;
        } else {
            p += c;
            hay = true;
        }
    }
    if (hay) r += (r.empty() ? "" : " ") + p;
    return r;
}

// Words of a text, blanks collapsed.
std::string palabras(const std::string& s) {
    std::string r, p;
    for (char c : s + " ") {
        if (c == ' ' || c == '\t') {
            if (!p.empty()) r += (r.empty() ? "" : " ") + p;
            p.clear();
        } else {
            p += c;
        }
    }
    return r;
}

int hora_utc() {
    std::time_t t = std::time(nullptr);
    std::tm tm;
    return gmtime_r(&t, &tm) != nullptr ? tm.tm_hour : 0;
}

std::vector<std::string> entorno_base(const std::string& fbbconf) {
    std::vector<std::string> env = {"PATH=/usr/sbin:/usr/bin:/sbin:/bin", "TZ=UTC",
                                    "FBBCONF=" + fbbconf};
    for (const char* v : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"}) {
        if (const char* valor = std::getenv(v)) env.push_back(std::string(v) + "=" + valor);
    }
    return env;
}

std::vector<char*> punteros(std::vector<std::string>& v) {
    std::vector<char*> p;
    for (auto& s : v) p.push_back(s.data());
    p.push_back(nullptr);
    return p;
}

}  // namespace

std::string falta_fbb(const std::string& raiz) {
    std::string xfbbd = raiz + kXfbbd;
    if (access(xfbbd.c_str(), X_OK) != 0)
        return raiz.empty()
                   ? xfbbd + " is not installed (Debian package fbb): nothing to test against"
                   : xfbbd + " is missing";
    std::string muestra = raiz + kMuestras + "/langue.sys";
    if (access(muestra.c_str(), R_OK) != 0)
        return "FBB's sample files are missing (" + muestra + ")";
    return "";
}

std::string raiz_parcheado() {
    const char* v = std::getenv(kVarParcheado);
    std::string r = v != nullptr ? v : "";
    while (r.size() > 1 && r.back() == '/') r.pop_back();
    return r;
}

std::string falta_fbb_parcheado() {
    std::string raiz = raiz_parcheado();
    if (raiz.empty())
        return std::string("no patched FBB: set ") + kVarParcheado +
               " to the directory where fbb_7.011-2+talmir1_*.deb is extracted "
               "(bash platform/fbb/build-deb.sh build-fbb, then dpkg-deb -x the .deb into "
               "build-fbb/raiz; tools/test.sh does both)";
    std::string falta = falta_fbb(raiz);
    if (!falta.empty()) return "patched FBB in " + raiz + ": " + falta;
    if (!con_comillas(raiz))
        return "patched FBB in " + raiz + ": its xfbbd lacks the marker " + kMarcaComillas;
    return "";
}

bool con_comillas(const std::string& raiz) {
    return lee_fichero(raiz + kXfbbd).find(kMarcaComillas) != std::string::npos;
}

const std::string& red() {
    return red_;
}

void prepara_red() {
    if (geteuid() != 0) return;
    int propia = open("/proc/self/ns/net", O_RDONLY | O_CLOEXEC);
    if (unshare(CLONE_NEWNET) != 0) {
        red_ = std::string("loopback (unshare: ") + std::strerror(errno) + ")";
    } else if (sube_lo()) {
        red_ = "namespace";
    } else if (propia >= 0 && setns(propia, CLONE_NEWNET) == 0) {
        red_ = "loopback (no lo in a new namespace)";
    } else {
        red_ = "namespace without lo";
    }
    if (propia >= 0) close(propia);
}

int puerto_libre() {
    int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0) return 0;
    sockaddr_in a = direccion(0);
    socklen_t l = sizeof a;
    int p = 0;
    if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        getsockname(s, reinterpret_cast<sockaddr*>(&a), &l) == 0)
        p = ntohs(a.sin_port);
    close(s);
    return p;
}

// ---------------------------------------------------------------------------
// Bbs

Bbs::Bbs() : Bbs(Opciones()) {}

Bbs::Bbs(const Opciones& o)
    : raiz_fbb_(o.raiz_fbb), indicativo_(o.indicativo), comillas_(con_comillas(o.raiz_fbb)) {
    char plantilla[] = "/tmp/fbbe2e.XXXXXX";
    if (mkdtemp(plantilla) == nullptr) {
        fallo_ = "mkdtemp failed";
        return;
    }
    raiz_ = plantilla;
    const std::string sis = ruta("etc/ax25/fbb"), datos = ruta("var/ax25/fbb");
    const std::string muestras = raiz_fbb_ + kMuestras;
    if (!copia_arbol(muestras, sis)) fallo_ = "cannot copy " + muestras;
    for (int i = 0; i < 10; ++i) {
        crea_dirs(datos + "/mail/mail" + std::to_string(i));
        crea_dirs(datos + "/binmail/mail" + std::to_string(i));
    }
    for (const char* d : {"wp", "sat", "fbbdos/yapp", "docs", "talmir"}) crea_dirs(datos + "/" + d);
    for (const char* d : {"pg", "server", "tool"}) crea_dirs(ruta(d));

    puerto_ = puerto_libre();
    auto puertos = [&o](int puerto, const std::string& descripcion) {
        return "# Scratch BBS of talmir's end-to-end tests: one telnet port on the\n"
               "# loopback address (address and TCP port in place of device and baud).\n"
               "#Ports TNCs\n"
               "  1     1\n"
               "#Com Interface Address    Baud\n"
               "  1   9         127.0.0.1  " +
               std::to_string(puerto) +
               "\n"
               "#TNC NbCh Com MultCh Pacln Maxfr NbFwd MxBloc M/P-Fwd Mode  Freq\n"
               "  0   0    0   0      0     0     0     0      00/01   ----  File-fwd.\n"
               "  1   4    1   0      250   2     1     10     " +
               o.hora_forward + "   TU    " + descripcion + "\n";
    };
    if (o.port_l) {
        escribe("etc/ax25/fbb/port_l.sys", puertos(puerto_, o.descripcion));
        escribe("etc/ax25/fbb/port.sys", puertos(puerto_libre(), "Decoy"));
    } else {
        escribe("etc/ax25/fbb/port.sys", puertos(puerto_, o.descripcion));
    }
    // Any valid callsign from 127.0.0.1 in, without FBB's own password.
    escribe("etc/ax25/fbb/passwd.sys", "127.0.0.1 +\n");

    std::string conf =
        "# FBB's configuration of a scratch BBS for talmir's end-to-end tests.\n"
        "version = FBB7.0.11\n"
        "callsign = " +
        o.indicativo +
        ".FRA.EU\n"
        "ssid = 0\n"
        "qraloc = JN18DU\n"
        "city = Testville\n"
        "name = Pat\n"
        "sysop = " +
        o.sysop + "\nconfig = " + sis + "\ndata = " + datos + "\nmessages = " + datos +
        "/mail\ncompressed = " + datos + "/binmail\nfbbdos = *,*," + datos +
        "/fbbdos,*,*,*,*,*\nyapp = " + datos + "/fbbdos/yapp\ndocs = " + datos +
        "/docs\npg = " + ruta("pg") + "\nfdir = " + raiz_ + "\nsdir = " + ruta("server") +
        "\ntdir = " + ruta("tool") + "\nimport = " + datos +
        "/mail/mail.in\n"
        "localtime = 0\n"
        "# New users straight to the prompt, without FBB's questions.\n"
        "askinfo = NO\n"
        "# FBB's nightly housekeeping (message cleanup, every link cut a quarter\n"
        "# of an hour later) far from this run: twelve hours off.\n"
        "housekeeping = " +
        std::to_string((hora_utc() + 12) % 24) + "\n";
    for (const auto& l : o.fbb_conf_extra) conf += l + "\n";
    escribe("etc/ax25/fbb/fbb.conf", conf);

    // The connection filter: the tests' talmir (fixed paths under "."), as a
    // symbolic link the way `cmake --install` and the package install it.
    if (symlink(TALMIR_BIN, ruta("c_filter").c_str()) != 0)
        fallo_ = "cannot link c_filter to " + std::string(TALMIR_BIN);
}

Bbs::~Bbs() {
    para();
    if (!raiz_.empty() && std::getenv("TALMIR_E2E_KEEP") == nullptr)
        nftw(raiz_.c_str(), borra_entrada, 16, FTW_DEPTH | FTW_PHYS);
}

void Bbs::escribe(const std::string& rel, const std::string& contenido) const {
    std::string r = ruta(rel);
    crea_dirs(r.substr(0, r.rfind('/')));
    escribe_fichero(r, contenido);
}

std::string Bbs::lee(const std::string& rel) const {
    return lee_fichero(ruta(rel));
}

bool Bbs::existe(const std::string& rel) const {
    return access(ruta(rel).c_str(), F_OK) == 0;
}

void Bbs::socio_forward(const std::string& socio, int puerto) const {
    // "V" is typed at the partner's login prompt: FBB's telnet connection
    // sends no callsign of its own. No "R": no call without mail to send.
    escribe("etc/ax25/fbb/forward.sys", "# The partner " + socio +
                                            ", another scratch BBS, over telnet.\n"
                                            "A " +
                                            socio +
                                            "\n"
                                            "P A\n"
                                            "C C " +
                                            socio + " 127.0.0.1 " + std::to_string(puerto) +
                                            "\n"
                                            "V " +
                                            indicativo_ +
                                            "$W\n"
                                            "B " +
                                            socio + "\n-----\n");
    // FBB forwards only to BBSs of its list bbs.sys: the sample's second line.
    std::string lista = lee("etc/ax25/fbb/bbs.sys");
    std::size_t i = lista.find("\n02 ");
    if (i == std::string::npos) return;
    lista.replace(i, lista.find('\n', i + 1) - i, "\n02 " + socio);
    escribe("etc/ax25/fbb/bbs.sys", lista);
}

std::string Bbs::arranca() {
    if (!fallo_.empty()) return fallo_;
    if (puerto_ == 0) return "no free TCP port";
    // xfbbd asks "Creating file X (Y/N) ?" for each data file it lacks and
    // throws away what it had buffered of its input at each question: give
    // it a pipe with plenty of 'Y' lines, kept open while it runs.
    int tubo[2];
    if (pipe2(tubo, O_CLOEXEC) != 0) return "pipe failed";
    std::string si;
    for (int i = 0; i < 16384; ++i) si += "Y\n";
    fcntl(tubo[1], F_SETFL, O_NONBLOCK);
    if (write(tubo[1], si.data(), si.size()) <= 0) {  // a pipe holds 64 KiB: 128 questions
        close(tubo[0]);
        close(tubo[1]);
        return "cannot fill xfbbd's standard input";
    }
    std::vector<std::string> env = entorno_base(ruta("etc/ax25/fbb/fbb.conf"));
    std::vector<std::string> args = {"xfbbd", "-n", "-v"};
    std::string datos = ruta("var/ax25/fbb"), reg = ruta("xfbbd.log");
    std::string xfbbd = raiz_fbb_ + kXfbbd;
    pid_t pid = fork();
    if (pid < 0) return "fork failed";
    if (pid == 0) {
        int log = open(reg.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (chdir(datos.c_str()) != 0 || log < 0) _exit(127);
        dup2(tubo[0], 0);
        dup2(log, 1);
        dup2(log, 2);
        auto a = punteros(args);
        auto e = punteros(env);
        execve(xfbbd.c_str(), a.data(), e.data());
        _exit(127);
    }
    close(tubo[0]);
    entrada_ = tubo[1];
    pid_ = pid;
    auto fin = Reloj::now() + std::chrono::seconds(30);
    while (Reloj::now() < fin) {
        if (escucha(puerto_)) return "";
        int estado;
        if (waitpid(pid_, &estado, WNOHANG) == pid_) {
            pid_ = -1;
            std::string r = registro();
            return "xfbbd ended before listening; its log ends:\n" +
                   r.substr(r.size() > 2000 ? r.size() - 2000 : 0);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return "xfbbd not listening on 127.0.0.1:" + std::to_string(puerto_) + " after 30 s";
}

void Bbs::para() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        auto fin = Reloj::now() + std::chrono::seconds(10);
        int estado;
        while (waitpid(pid_, &estado, WNOHANG) == 0) {
            if (Reloj::now() > fin) {
                kill(pid_, SIGKILL);
                waitpid(pid_, &estado, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        pid_ = -1;
    }
    if (entrada_ >= 0) close(entrada_);
    entrada_ = -1;
}

Ejecucion Bbs::filtro(const std::vector<std::string>& args) const {
    Ejecucion r;
    int tubo[2];
    if (pipe2(tubo, O_CLOEXEC) != 0) return r;
    std::vector<std::string> env = entorno_base(ruta("etc/ax25/fbb/fbb.conf"));
    std::vector<std::string> a = {"./c_filter"};
    a.insert(a.end(), args.begin(), args.end());
    pid_t pid = fork();
    if (pid == 0) {
        int nulo = open("/dev/null", O_RDWR);
        if (chdir(raiz_.c_str()) != 0 || nulo < 0) _exit(127);
        dup2(nulo, 0);
        dup2(tubo[1], 1);
        dup2(nulo, 2);
        auto pa = punteros(a);
        auto pe = punteros(env);
        execve("./c_filter", pa.data(), pe.data());
        _exit(127);
    }
    close(tubo[1]);
    char buf[4096];
    ssize_t n;
    while ((n = read(tubo[0], buf, sizeof buf)) > 0 || (n < 0 && errno == EINTR)) {
        if (n > 0) r.salida.append(buf, static_cast<std::size_t>(n));
    }
    close(tubo[0]);
    int estado = 0;
    while (waitpid(pid, &estado, 0) < 0 && errno == EINTR) {
    }
    r.codigo = WIFEXITED(estado) ? WEXITSTATUS(estado) : -1;
    return r;
}

std::string Bbs::registro() const {
    return lee_fichero(ruta("xfbbd.log"));
}

std::vector<std::string> Bbs::llamadas_filtro() const {
    // -v logs "Debug: command = {cd FDIR/ ; ./c_filter ARGS </dev/null >...}"
    // and then "Debug: exit code = N". The patched FBB's ARGS end in the
    // station's words, each quoted for the shell: 'xx' 'it'\''s'.
    std::vector<std::string> r;
    std::string reg = registro(), pendiente;
    std::size_t p = 0;
    while (p < reg.size()) {
        std::size_t fin = reg.find('\n', p);
        if (fin == std::string::npos) fin = reg.size();
        std::string linea = reg.substr(p, fin - p);
        p = fin + 1;
        // In a forward run the partner's telnet options, as xfbbd prints
        // them ("WONT "), may begin the command's line.
        const std::string orden = "./c_filter ",
                          codigo = "Debug: exit code = ", mando = "Debug: command = {";
        std::size_t m = linea.find(mando);
        if (m != std::string::npos) linea.erase(0, m);
        std::size_t i = linea.find(orden);
        if (linea.rfind(mando, 0) == 0 && i != std::string::npos) {
            std::size_t j = linea.find("</dev/null", i);
            std::string args = linea.substr(i + orden.size(), j - i - orden.size());
            pendiente = comillas_ ? palabras_shell(args) : palabras(args);
        } else if (linea.rfind(codigo, 0) == 0 && !pendiente.empty()) {
            r.push_back(pendiente + " => " + palabras(linea.substr(codigo.size())));
            pendiente.clear();
        } else if (linea.rfind(mando, 0) == 0) {
            pendiente.clear();  // another program of FBB's (m_filter ...)
        }
    }
    return r;
}

// ---------------------------------------------------------------------------
// Estacion

Estacion::~Estacion() {
    if (fd_ >= 0) close(fd_);
}

bool Estacion::entra(int puerto, const std::string& indicativo) {
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0) return false;
    sockaddr_in a = direccion(puerto);
    if (connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) return false;
    if (hasta("Callsign : ").empty()) return false;
    envia(indicativo);
    return true;
}

void Estacion::envia(const std::string& linea) {
    envia_todo(fd_, linea + "\r");
}

bool Estacion::lee(int ms) {
    if (fd_ < 0 || cerrada_) return false;
    pollfd p = {fd_, POLLIN, 0};
    if (poll(&p, 1, ms) <= 0) return false;
    char buf[4096];
    ssize_t n = recv(fd_, buf, sizeof buf, 0);
    if (n > 0) {
        recibido_.append(buf, static_cast<std::size_t>(n));
        // FBB's pager stops long texts (more than 19 lines for users with
        // the paging flag, as new users have by default): switch it off.
        const std::string pagina = "C = remove paging -->";
        if (recibido_.size() >= pagina.size() &&
            recibido_.compare(recibido_.size() - pagina.size(), pagina.size(), pagina) == 0)
            envia("C");
    } else if (n == 0 || errno != EINTR) {
        cerrada_ = true;
    }
    return true;
}

std::string Estacion::hasta(const std::string& marca, int ms) {
    auto fin = Reloj::now() + std::chrono::milliseconds(ms);
    for (;;) {
        std::size_t i = recibido_.find(marca, pos_);
        if (i != std::string::npos) {
            std::string r = recibido_.substr(pos_, i + marca.size() - pos_);
            pos_ = i + marca.size();
            return r;
        }
        if (cerrada_ || fd_ < 0 || Reloj::now() >= fin) return "";
        lee(ms_hasta(fin));
    }
}

std::string Estacion::hasta_linea(const std::function<bool(const std::string&)>& es, int ms) {
    auto fin = Reloj::now() + std::chrono::milliseconds(ms);
    std::size_t desde = pos_;
    for (;;) {
        std::size_t i;
        while ((i = recibido_.find("\r\n", desde)) != std::string::npos) {
            if (es(recibido_.substr(desde, i - desde))) {
                std::string r = recibido_.substr(pos_, i + 2 - pos_);
                pos_ = i + 2;
                return r;
            }
            desde = i + 2;
        }
        if (cerrada_ || fd_ < 0 || Reloj::now() >= fin) return "";
        lee(ms_hasta(fin));
    }
}

bool Estacion::cierre(int ms) {
    auto fin = Reloj::now() + std::chrono::milliseconds(ms);
    while (!cerrada_ && fd_ >= 0 && Reloj::now() < fin) lee(ms_hasta(fin));
    return cerrada_;
}

std::string Estacion::resto() {
    std::string r = recibido_.substr(pos_);
    pos_ = recibido_.size();
    return r;
}

// ---------------------------------------------------------------------------
// SocioFalso

SocioFalso::SocioFalso() {
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0) return;
    int si = 1;
    setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &si, sizeof si);
    sockaddr_in a = direccion(0);
    socklen_t l = sizeof a;
    if (bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && listen(fd_, 4) == 0 &&
        getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &l) == 0)
        puerto_ = ntohs(a.sin_port);
}

SocioFalso::~SocioFalso() {
    if (fd_ >= 0) close(fd_);
}

std::string SocioFalso::atiende(const std::string& texto, int ms, bool* llamo) {
    *llamo = false;
    std::string r;
    pollfd p = {fd_, POLLIN, 0};
    if (fd_ < 0 || poll(&p, 1, ms) <= 0) return r;
    int c = accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (c < 0) return r;
    *llamo = true;
    envia_todo(c, texto);
    auto fin = Reloj::now() + std::chrono::milliseconds(ms);
    while (r.find('\n') == std::string::npos && Reloj::now() < fin) {
        pollfd q = {c, POLLIN, 0};
        if (poll(&q, 1, ms_hasta(fin)) <= 0) break;
        char buf[4096];
        ssize_t n = recv(c, buf, sizeof buf, 0);
        if (n <= 0) break;
        r.append(buf, static_cast<std::size_t>(n));
    }
    close(c);
    return r;
}

// ---------------------------------------------------------------------------

std::string prompt(Estacion& e, const std::string& bbs) {
    return e.hasta_linea([&](const std::string& l) {
        return l.find(bbs) != std::string::npos && !l.empty() && l.back() == '>';
    });
}

std::string crlf(const std::string& texto) {
    std::string r;
    for (char c : texto) {
        if (c == '\n') r += '\r';
        r += c;
    }
    return r;
}

std::string md5_hex(const std::string& texto) {
    char h[33];
    talmir::md5_hex(reinterpret_cast<const unsigned char*>(texto.data()), texto.size(), h);
    return h;
}

std::string md2_hex(const std::string& texto) {
    char h[33];
    talmir::md2_hex(reinterpret_cast<const unsigned char*>(texto.data()), texto.size(), h);
    return h;
}

}  // namespace e2e
