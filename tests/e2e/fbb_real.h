// SPDX-License-Identifier: GPL-2.0-or-later
// The real FBB for end-to-end tests: a scratch BBS laid out from the sample
// files of the Debian package fbb, with the tests' talmir as its connection
// filter, xfbbd started on it, stations that log in over its telnet port, and
// a fake partner BBS that FBB calls to forward. The FBB is the installed one
// or another build of the package extracted into a directory (dpkg-deb -x):
// the patched fbb 7.011-2+talmir1 of platform/fbb, found through
// TALMIR_FBB_PARCHEADO.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace e2e {

// FBB's daemon and the package's sample system files, under the root of an
// FBB ("" for the installed package). Nothing else of the package is read at
// run time: the scratch fbb.conf names every directory xfbbd uses.
inline constexpr const char kXfbbd[] = "/usr/sbin/xfbbd";
inline constexpr const char kMuestras[] = "/etc/ax25/fbb";

// The marker in the xfbbd of an FBB whose filter and PG commands get the
// station's words quoted for the shell (platform/fbb's patch).
inline constexpr const char kMarcaComillas[] = "fbb-shell-quote-1";
// The variable naming the directory where the patched package is extracted
// (tools/test.sh: build-fbb/raiz).
inline constexpr const char kVarParcheado[] = "TALMIR_FBB_PARCHEADO";

// Empty when xfbbd and the sample files are there under `raiz`; otherwise
// why not.
std::string falta_fbb(const std::string& raiz = "");
// The patched FBB's root, from TALMIR_FBB_PARCHEADO (empty when unset).
std::string raiz_parcheado();
// Empty when the patched FBB is there, its xfbbd with the marker; otherwise
// why not.
std::string falta_fbb_parcheado();
// Whether the xfbbd under `raiz` holds the marker of the quoting patch.
bool con_comillas(const std::string& raiz);

// How the process reached 127.0.0.1: "namespace" (a private network namespace
// of its own, made in main when running as root) or "loopback" (the machine's
// own loopback, ports picked free). Set once by prepara_red.
const std::string& red();
// Runs before any thread: as root, a private network namespace with lo up.
void prepara_red();

// A free TCP port on 127.0.0.1 (0 when none could be had).
int puerto_libre();

struct Ejecucion {
    std::string salida;
    int codigo = -1;
};

// One scratch BBS under /tmp (short paths: FBB builds the filter's command in
// a buffer of 256 bytes). Its root is FBB's filter directory, so the tests'
// talmir, whose fixed paths start with ".", finds its working directory in
// var/ax25/fbb/talmir and FBB's files where this BBS has them:
//   etc/ax25/fbb/          system files (port.sys, langue.sys, lang/ ...)
//   etc/ax25/fbb/fbb.conf  FBB's configuration, named through FBBCONF
//   var/ax25/fbb/          data (inf.sys ...), mail/, binmail/, the import
//                          file mail/mail.in
// BBS N0BBS, sysop N0SYS by default, one telnet port: TNC 1 "Telnet" on
// 127.0.0.1.
class Bbs {
   public:
    struct Opciones {
        // Lines appended to fbb.conf (FBB: the last line of a key wins).
        std::vector<std::string> fbb_conf_extra;
        // The ports in port_l.sys, LinFBB's own name, and a port.sys beside it
        // whose telnet port is described "Decoy".
        bool port_l = false;
        // The TNC line's description of the telnet port.
        std::string descripcion = "Telnet";
        // The root of the FBB to run ("" for the installed package).
        std::string raiz_fbb;
        // The BBS's callsign (fbb.conf callsign, in the hierarchy .FRA.EU)
        // and its sysop: two scratch BBSs can run side by side.
        std::string indicativo = "N0BBS";
        std::string sysop = "N0SYS";
        // The telnet port's forward time (port.sys M/P-Fwd: the minute of
        // the hour and the period in minutes); "00/01" calls every minute.
        std::string hora_forward = "00/60";
    };

    Bbs();
    explicit Bbs(const Opciones& o);
    ~Bbs();
    Bbs(const Bbs&) = delete;
    Bbs& operator=(const Bbs&) = delete;

    // Empty when the tree is laid out; otherwise what failed.
    const std::string& fallo() const { return fallo_; }

    const std::string& raiz() const { return raiz_; }
    const std::string& indicativo() const { return indicativo_; }
    std::string ruta(const std::string& rel) const { return raiz_ + "/" + rel; }
    static std::string trabajo(const std::string& nombre) {
        return "var/ax25/fbb/talmir/" + nombre;
    }
    void escribe(const std::string& rel, const std::string& contenido) const;
    std::string lee(const std::string& rel) const;
    bool existe(const std::string& rel) const;
    // A file of talmir's working directory.
    void talmir(const std::string& nombre, const std::string& contenido) const {
        escribe(trabajo(nombre), contenido);
    }

    // Makes the BBS `socio`, listening on 127.0.0.1:`puerto`, this BBS's
    // forward partner: forward.sys holds one block for it (port A, a telnet
    // connection, this BBS's callsign typed at the partner's "Callsign :",
    // the private mail addressed @socio), bbs.sys lists it. Before arranca().
    void socio_forward(const std::string& socio, int puerto) const;

    // Starts xfbbd (-n -v, 'Y' lines on standard input, FBBCONF set, the data
    // directory as current directory) and waits until its telnet port takes
    // connections. Empty on success, else what failed.
    std::string arranca();
    // Stops xfbbd (SIGTERM); its log is complete only after this.
    void para();
    bool en_marcha() const { return pid_ > 0; }
    int puerto() const { return puerto_; }

    // talmir run by the sysop, as FBB's filter directory holds it.
    Ejecucion filtro(const std::vector<std::string>& args) const;

    // xfbbd's log (standard output and error); complete after para().
    std::string registro() const;
    // From the log: each run of the filter, as "args... => exit code", the
    // words as the filter got them (the patched FBB's quoting undone).
    std::vector<std::string> llamadas_filtro() const;
    // Whether this BBS's xfbbd quotes the station's words for the shell.
    bool comillas() const { return comillas_; }

   private:
    std::string raiz_;
    std::string raiz_fbb_;
    std::string indicativo_;
    bool comillas_ = false;
    std::string fallo_;
    int puerto_ = 0;
    int pid_ = -1;
    int entrada_ = -1;  // write end of xfbbd's standard input
};

// A station on the telnet port: everything received is kept; `pos` marks
// what the test has taken so far.
class Estacion {
   public:
    Estacion() = default;
    ~Estacion();
    Estacion(const Estacion&) = delete;
    Estacion& operator=(const Estacion&) = delete;

    // Connects and answers FBB's "Callsign : " with the callsign.
    bool entra(int puerto, const std::string& indicativo);
    // A line as a station types it (ended by CR).
    void envia(const std::string& linea);
    // Reads until the untaken text holds `marca`; returns the untaken text
    // up to and including it, and takes it. Empty after `ms` without it.
    std::string hasta(const std::string& marca, int ms = 15000);
    // The same up to and including the first whole line (ended by CR LF)
    // for which `es` holds.
    std::string hasta_linea(const std::function<bool(const std::string&)>& es, int ms = 15000);
    // Reads until FBB closes the connection (true) or `ms` pass (false); the
    // untaken text is then in resto().
    bool cierre(int ms = 15000);
    // The untaken text, taken.
    std::string resto();
    // Everything received, for messages.
    const std::string& todo() const { return recibido_; }
    bool cerrada() const { return cerrada_; }

   private:
    bool lee(int ms);
    int fd_ = -1;
    std::string recibido_;
    std::size_t pos_ = 0;
    bool cerrada_ = false;
};

// A partner BBS for FBB to call: listens on 127.0.0.1 and, once FBB has
// connected, sends its lines and keeps what FBB sends back.
class SocioFalso {
   public:
    SocioFalso();
    ~SocioFalso();
    SocioFalso(const SocioFalso&) = delete;
    SocioFalso& operator=(const SocioFalso&) = delete;
    int puerto() const { return puerto_; }
    // Waits up to `ms` for FBB's call, sends `texto`, then reads until FBB
    // has sent a whole line or closed the connection (at most `ms` more).
    // Returns what FBB sent; *llamo tells whether FBB called at all.
    std::string atiende(const std::string& texto, int ms, bool* llamo);

   private:
    int fd_ = -1;
    int puerto_ = 0;
};

// Each LF of talmir's output as the station gets it: CR LF.
// FBB's prompt, which ends its greeting and every command's answer: the
// untaken text up to a line naming the BBS and ending in ">" ("(1) N0BBS BBS
// (H for help) >", "(1) N0BBS BBS>", "2:N0BBS (A,B,...) >"); empty after
// Estacion::hasta_linea's time without it.
std::string prompt(Estacion& e, const std::string& bbs = "N0BBS");

// Waits up to `ms` for `cond`, looking every 100 ms.
template <typename F>
bool espera(F cond, int ms) {
    const auto fin = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!cond()) {
        if (std::chrono::steady_clock::now() > fin) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return true;
}

std::string crlf(const std::string& texto);
// MD5 of a text as 32 lowercase hexadecimal digits (talmir's own digest code).
std::string md5_hex(const std::string& texto);
// MD2 of a text, the same way.
std::string md2_hex(const std::string& texto);

}  // namespace e2e
