// SPDX-License-Identifier: GPL-2.0-or-later
// Many runs at once on one working directory, as a busy BBS makes them:
// dialogues that end right and wrong, stations let in and refused, new users
// announced to the sysops, faults that are reported and mailed, and the
// sysop's commands, while a stand-in for FBB takes its mail lock and consumes
// the import file as FBB does. Afterwards every mail message written is
// present once and whole across what FBB consumed, the import file and the
// pending files; every log entry is present once and whole, each log with one
// header; no lock and no temporary file is left; and no run crashed.
//
// Every run's outcome is read from its output and exit code, so that the
// entries and messages it must have left are known whatever order the runs
// took. An error is mailed by the one run that makes its marker: for those
// runs the test knows only that each mails both sysops or neither.
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <map>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "entorno.h"

namespace prueba {
namespace {

const std::string kPassword = "Secreto9";
const std::string kIntro = "Welcome to the stress BBS.\n";
const std::string kExclusion = "Not here.\n";
const std::string kInfo = "Closed for now.\n";
const std::string kDenegado = "\n*** MISTAKEN IDENTITY - DENIED ACCESS!\n\n";
const std::string kSysops[2] = {"N0SYS", "N1SYS"};

// Two answers; the exclusion and introduction texts, the new-user notice
// and the three logs are on. Port 1 challenges the D* stations (NORMAL),
// 2 lets stations in, 3 excludes them with a text, 4 without one (error
// 11), 5 shows its information text, 6 has none (error 9), 9 is open until
// the sysop closes it to all but BBSs.
std::string configuracion() {
    return config_basica("1 OPEN\n2 OPEN\n3 EXCLUDED\n4 EXCLUDED\n5 CLOSED\n6 CLOSED\n9 OPEN\n",
                         "2", {"NO", "NO", "OK", "NO", "OK", "NO", "OK", "OK", "OK", "OK"});
}

enum class Tipo {
    kDialogoBien,  // challenge, right answer
    kDialogoMal,   // challenge, wrong answer, fresh challenge, wrong again
    kAdmitido,     // let in on port 2 (per-callsign logs for some)
    kNuevo,        // a new user on port 2: two notices
    kExcluido,     // port 3, exclusion text, logged
    kExcluidoErr,  // port 4, error 11
    kCerrado,      // port 5, information text
    kCerradoErr,   // port 6, error 9
    kPuerto9,      // port 9, open or closed by the sysop
    kLog,          // -log
    kPuertos,      // -pbbs 9, then -pnormal 9
    kFiltro,       // -off, then -on
    kOtro,         // -on with the filter on, an unknown word
};

struct Trabajo {
    Tipo tipo;
    std::string indicativo;  // callsign without SSID
    int ssid = 0;
    std::vector<Resultado> runs;
};

// What a job left, by its runs' outcomes.
struct Esperado {
    std::string entrada;  // callsign-SSID/port key of its log entries
    bool nopas = false, excld = false, cnx = false, cnx_propio = false;
    bool avisos = false;   // two new-user notices
    int error_mail = 0;    // 9 or 11: both sysops or neither
    std::string problema;  // an outcome that no run may have
};

// The five characters of a NORMAL challenge.
std::string cinco(const std::string& salida) {
    std::size_t p = salida.rfind("PASSWORD> ");
    if (p == std::string::npos) return "";
    std::string r;
    std::size_t i = p + 10;
    for (int k = 0; k < 5; ++k) {
        std::size_t fin = salida.find_first_of(" \n", i);
        if (fin == std::string::npos) return "";
        int pos = std::atoi(salida.substr(i, fin - i).c_str());
        if (pos < 1 || pos > static_cast<int>(kPassword.size())) return "";
        r += kPassword[static_cast<std::size_t>(pos - 1)];
        i = fin + 1;
    }
    return r;
}

bool es_reto(const Resultado& r, bool primera) {
    const std::string ini = primera ? id_linea() : "";
    return r.codigo == 1 && r.salida.rfind(ini + "\nPASSWORD> ", 0) == 0 && r.salida.back() == '\n';
}

std::string ind_ssid(const Trabajo& t) {
    return t.indicativo + "-" + std::to_string(t.ssid);
}

void ejecuta_trabajo(const Raiz& raiz, Trabajo* t) {
    const std::string ind = ind_ssid(*t);
    // In the sanitizer build the runs are checked for memory errors as
    // everywhere, but not for leaks: the leak check at the end of every run
    // doubled the cost of the round, and concurrency makes no leak that the
    // other tests' runs do not show.
    Arranque arranque;
    arranque.entorno = {"ASAN_OPTIONS=detect_leaks=0"};
    auto corre = [&](const std::vector<std::string>& args) {
        t->runs.push_back(ejecuta(raiz, args, arranque));
        return t->runs.back();
    };
    switch (t->tipo) {
        case Tipo::kDialogoBien: {
            Resultado r = corre(args_estacion(ind, 0, 0, 0, 1));
            if (es_reto(r, true)) corre(args_estacion(ind, 1, 0, 0, 1, "xx" + cinco(r.salida)));
            break;
        }
        case Tipo::kDialogoMal: {
            Resultado r = corre(args_estacion(ind, 0, 0, 0, 1));
            if (!es_reto(r, true)) break;
            r = corre(args_estacion(ind, 1, 0, 0, 1, "nada"));
            if (es_reto(r, false)) corre(args_estacion(ind, 2, 0, 0, 1, "nada"));
            break;
        }
        case Tipo::kAdmitido:
            corre(args_estacion(ind, 0, 0, 0, 2));
            break;
        case Tipo::kNuevo:
            corre(args_estacion(ind, 0, 0, 1, 2));
            break;
        case Tipo::kExcluido:
            corre(args_estacion(ind, 0, 0, 0, 3));
            break;
        case Tipo::kExcluidoErr:
            corre(args_estacion(ind, 0, 0, 0, 4));
            break;
        case Tipo::kCerrado:
            corre(args_estacion(ind, 0, 0, 0, 5));
            break;
        case Tipo::kCerradoErr:
            corre(args_estacion(ind, 0, 0, 0, 6));
            break;
        case Tipo::kPuerto9:
            corre(args_estacion(ind, 0, 0, 0, 9));
            break;
        case Tipo::kLog:
            corre({"-log"});
            break;
        case Tipo::kPuertos:
            corre({"-pbbs", "9"});
            corre({"-pnormal", "9"});
            break;
        case Tipo::kFiltro:
            corre({"-off"});
            corre({"-on"});
            break;
        case Tipo::kOtro:
            corre({"-on"});
            corre({"-help"});
            break;
    }
}

// Reads each job's outcome into what it must have left.
Esperado esperado(const Trabajo& t) {
    Esperado e;
    char clave[64];
    std::snprintf(clave, sizeof clave, "%-6s-%-2d", t.indicativo.c_str(), t.ssid);
    e.entrada = clave;
    const std::string id = id_linea();
    const std::string admitido = id + "\n" + kIntro;
    auto mal = [&](const std::string& que) {
        e.problema = std::string("unexpected outcome (") + que + ") of " + ind_ssid(t);
    };
    for (const Resultado& r : t.runs) {
        if (r.codigo == -1) mal("killed by a signal");
        if (!r.errores.empty()) mal("standard error: " + r.errores);
        static const std::set<int> codigos = {0, 1, 2, 3, 4, 11};
        if (codigos.count(r.codigo) == 0) mal("exit code " + std::to_string(r.codigo));
    }
    if (!e.problema.empty()) return e;
    const Resultado& r0 = t.runs.front();
    // The filter was off for this first call: only the identification line.
    const bool apagado = r0.codigo == 0 && r0.salida == id;
    switch (t.tipo) {
        case Tipo::kDialogoBien:
            if (apagado) break;
            if (t.runs.size() != 2 || t.runs[1].codigo != 0 || t.runs[1].salida != "\n" + kIntro) {
                mal("right answer");
                break;
            }
            e.cnx = true;
            break;
        case Tipo::kDialogoMal:
            if (apagado) break;
            if (t.runs.size() != 3 || t.runs[2].codigo != 2 || t.runs[2].salida != kDenegado) {
                mal("wrong answers");
                break;
            }
            e.nopas = true;
            break;
        case Tipo::kNuevo:
            e.avisos = true;
            [[fallthrough]];
        case Tipo::kAdmitido:
            if (apagado) break;
            if (r0.codigo != 0 || r0.salida != admitido) {
                mal("let in");
                break;
            }
            e.cnx = true;
            e.cnx_propio = t.tipo == Tipo::kAdmitido && t.indicativo != "AL4";
            break;
        case Tipo::kExcluido:
            if (apagado) break;
            if (r0.codigo != 2 || r0.salida != id + "\n" + kExclusion) {
                mal("excluded");
                break;
            }
            e.excld = true;
            break;
        case Tipo::kExcluidoErr:
        case Tipo::kCerradoErr:
            if (apagado) break;
            if (r0.codigo != 2 || r0.salida != id) {
                mal("error");
                break;
            }
            e.error_mail = t.tipo == Tipo::kExcluidoErr ? 11 : 9;
            break;
        case Tipo::kCerrado:
            if (!apagado && (r0.codigo != 2 || r0.salida != id + "\n" + kInfo)) mal("closed");
            break;
        case Tipo::kPuerto9:
            if (apagado || (r0.codigo == 2 && r0.salida == id)) break;
            if (r0.codigo != 0 || r0.salida != admitido) {
                mal("port 9");
                break;
            }
            e.cnx = true;
            break;
        default:
            for (const Resultado& r : t.runs)
                if (r.codigo != 0 || r.salida != kBanner) mal("command");
            break;
    }
    return e;
}

// --- Reading back what the runs left ------------------------------------

std::string lee(const std::string& ruta) {
    std::string s;
    if (FILE* f = std::fopen(ruta.c_str(), "rb")) {
        char buf[65536];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
        std::fclose(f);
    }
    return s;
}

std::vector<std::string> g_ficheros;
int recoge(const char* ruta, const struct stat*, int tipo, struct FTW*) {
    if (tipo == FTW_F) g_ficheros.push_back(ruta);
    return 0;
}

std::vector<std::string> ficheros_bajo(const std::string& dir) {
    g_ficheros.clear();
    nftw(dir.c_str(), recoge, 16, FTW_PHYS);
    std::sort(g_ficheros.begin(), g_ficheros.end());
    return g_ficheros;
}

std::string columnas() {
    return std::string(9, ' ') + "CALLSIGN" + std::string(9, ' ') + "PORT" + std::string(10, ' ') +
           "TIME" + std::string(16, ' ') + "DATE";
}

std::string cabecera(const std::string& titulo) {
    return "\n[TALMIR v4.1\xE1"
           "2] - " +
           titulo + ":\n\n" + columnas() + "\n   " + std::string(69, '=') + "\n";
}

bool digitos(const std::string& s, std::size_t p, std::size_t n) {
    for (std::size_t i = p; i < p + n; ++i)
        if (i >= s.size() || s[i] < '0' || s[i] > '9') return false;
    return true;
}

// An entry line as the logs write it: the key (callsign and SSID padded),
// the port, the time and the date. Gives the key and the port, or "" when
// the line is no whole entry.
std::string lee_entrada(const std::string& l, int* puerto) {
    // 9 blanks, key (9), 8 blanks, port (2), 9 blanks, "HH:MM:SS  ", 9 blanks,
    // "DD-MM-YYYY".
    if (l.size() != 9 + 9 + 8 + 2 + 9 + 10 + 9 + 10) return "";
    if (l.compare(0, 9, std::string(9, ' ')) != 0) return "";
    if (l.compare(18, 8, std::string(8, ' ')) != 0) return "";
    if (l.compare(28, 9, std::string(9, ' ')) != 0) return "";
    const std::size_t t = 37;
    if (!digitos(l, t, 2) || l[t + 2] != ':' || !digitos(l, t + 3, 2) || l[t + 5] != ':' ||
        !digitos(l, t + 6, 2) || l.compare(t + 8, 2, "  ") != 0)
        return "";
    if (l.compare(47, 9, std::string(9, ' ')) != 0) return "";
    const std::size_t d = 56;
    if (!digitos(l, d, 2) || l[d + 2] != '-' || !digitos(l, d + 3, 2) || l[d + 5] != '-' ||
        !digitos(l, d + 6, 4))
        return "";
    *puerto = std::atoi(l.substr(26, 2).c_str());
    return l.substr(9, 9);
}

// One log's text: exactly one header, first, then whole entries. Adds each
// entry's key and port to the count; complains of anything else.
void lee_log(const std::string& texto, const std::string& titulo, const std::string& donde,
             std::map<std::string, int>* cuenta_entradas, std::vector<std::string>* fallos,
             std::size_t* entradas) {
    const std::string cab = cabecera(titulo);
    if (texto.compare(0, cab.size(), cab) != 0 || cuenta(texto, "[TALMIR v") != 1) {
        fallos->push_back(donde + ": not exactly one header, at the start");
        return;
    }
    std::size_t p = cab.size();
    while (p < texto.size()) {
        std::size_t fin = texto.find('\n', p);
        if (fin == std::string::npos) {
            fallos->push_back(donde + ": half an entry at the end: " + texto.substr(p));
            return;
        }
        int puerto = 0;
        std::string clave = lee_entrada(texto.substr(p, fin - p), &puerto);
        if (clave.empty()) {
            fallos->push_back(donde + ": no whole entry: " + texto.substr(p, fin - p));
        } else {
            ++(*cuenta_entradas)[clave + "/" + std::to_string(puerto)];
            ++*entradas;
        }
        p = fin + 1;
    }
}

const std::string kError9 = "*** ERROR 0019: File info.prt not found.\n\n";
const std::string kError11 =
    "*** ERROR 00111: File excluded.prt not found.\n    Option activated in config.prt\n\n";

// A mail body begins with the program's header line: "[TALMIR v4.1?2] - "
// and the run's time, "HH:MM:SS DD-MM-YYYY".
bool cabecera_correo(const std::string& cuerpo) {
    const std::string ini =
        "[TALMIR v4.1\xE1"
        "2] - ";
    const std::size_t h = ini.size();
    return cuerpo.compare(0, h, ini) == 0 && cuerpo.size() > h + 19 && cuerpo[h + 19] == '\n' &&
           digitos(cuerpo, h, 2) && cuerpo[h + 2] == ':' && digitos(cuerpo, h + 9, 2) &&
           cuerpo[h + 11] == '-' && digitos(cuerpo, h + 15, 4);
}

struct Mensaje {
    std::string sysop, asunto, cuerpo;
};

// Splits a mail text into whole messages.
std::vector<Mensaje> lee_correo(const std::string& texto, const std::string& donde,
                                std::vector<std::string>* fallos) {
    std::vector<Mensaje> m;
    std::size_t p = 0;
    while (p < texto.size()) {
        std::size_t fin = texto.find("\n/EX\n", p);
        std::size_t l1 = texto.find('\n', p + 2);
        std::size_t l2 = l1 == std::string::npos ? l1 : texto.find('\n', l1 + 1);
        if (texto.compare(p, 5, "#\nSP ") != 0 || fin == std::string::npos ||
            l2 == std::string::npos || l2 > fin + 1) {
            fallos->push_back(donde + ": no whole message at byte " + std::to_string(p));
            return m;
        }
        const std::string sp = texto.substr(p + 2, l1 - p - 2);
        Mensaje msg;
        if (sp.size() < 15 || sp.compare(sp.size() - 9, 9, " < TALMIR") != 0) {
            fallos->push_back(donde + ": send line " + sp);
        } else {
            msg.sysop = sp.substr(3, sp.size() - 12);
        }
        msg.asunto = texto.substr(l1 + 1, l2 - l1 - 1);
        msg.cuerpo = texto.substr(l2 + 1, fin + 1 - (l2 + 1));
        m.push_back(msg);
        p = fin + 5;
    }
    return m;
}

// The stand-in for FBB: takes its lock as FBB does (created exclusively),
// reads and deletes the import file, drops the lock; at odd moments it holds
// the lock a while, so that runs find it taken.
class Fbb {
   public:
    explicit Fbb(const Raiz& raiz)
        : lock_(raiz.ruta(Raiz::mail_lck())),
          import_(raiz.ruta(Raiz::mail_in())),
          pendiente_(raiz.ruta(Raiz::trabajo("mail.prt"))) {
        hilo_ = std::thread([this] { vive(); });
    }
    ~Fbb() { para(); }
    void para() {
        if (!hilo_.joinable()) return;
        fin_ = true;
        hilo_.join();
    }
    const std::string& consumido() const { return consumido_; }
    int tomas() const { return tomas_; }
    int con_pendiente() const { return con_pendiente_; }

   private:
    void vive() {
        std::mt19937 azar(12345);
        while (!fin_.load()) {
            std::this_thread::sleep_for(std::chrono::microseconds(azar() % 2000));
            int fd = open(lock_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
            if (fd < 0) continue;
            close(fd);
            ++tomas_;
            if (access(pendiente_.c_str(), F_OK) == 0) ++con_pendiente_;
            std::this_thread::sleep_for(std::chrono::microseconds(azar() % 3000));
            consumido_ += lee(import_);
            unlink(import_.c_str());
            std::this_thread::sleep_for(std::chrono::microseconds(azar() % 1000));
            unlink(lock_.c_str());
        }
    }
    std::string lock_, import_, pendiente_;
    std::string consumido_;
    int tomas_ = 0;
    int con_pendiente_ = 0;  // times mail was waiting in mail.prt
    std::atomic<bool> fin_{false};
    std::thread hilo_;
};

// One round on a fresh root, the jobs shuffled by the seed.
void vuelta(unsigned semilla) {
    Raiz raiz;
    raiz.fbb_basico();
    raiz.config(configuracion());
    raiz.usuarios("D*\n1 NORMAL " + kPassword + "\n-\n");
    raiz.escribe(Raiz::trabajo("intro.prt"), kIntro);
    raiz.escribe(Raiz::trabajo("exclud3.prt"), kExclusion);
    raiz.escribe(Raiz::trabajo("info5.prt"), kInfo);
    raiz.escribe(Raiz::trabajo("logusr.prt"), "AL0\nAL1 D\nAL2-7\nAL3 D\n");

    // The jobs, in an order shuffled once and for all.
    std::vector<Trabajo> trabajos;
    auto anade = [&](Tipo tipo, int n, const std::string& prefijo) {
        for (int i = 0; i < n; ++i) {
            Trabajo t{tipo, prefijo + std::to_string(i), i % 16, {}};
            trabajos.push_back(t);
        }
    };
    anade(Tipo::kDialogoBien, 30, "DB");
    anade(Tipo::kDialogoMal, 30, "DM");
    anade(Tipo::kNuevo, 25, "NU");
    anade(Tipo::kExcluido, 40, "XA");
    anade(Tipo::kExcluidoErr, 15, "XB");
    anade(Tipo::kCerrado, 10, "CA");
    anade(Tipo::kCerradoErr, 15, "CB");
    anade(Tipo::kPuerto9, 15, "P");
    for (int i = 0; i < 40; ++i)
        trabajos.push_back({Tipo::kAdmitido, "AL" + std::to_string(i % 5), i, {}});
    for (int i = 0; i < 20; ++i) trabajos.push_back({Tipo::kLog, "", 0, {}});
    for (int i = 0; i < 5; ++i) trabajos.push_back({Tipo::kPuertos, "", 0, {}});
    for (int i = 0; i < 3; ++i) trabajos.push_back({Tipo::kFiltro, "", 0, {}});
    for (int i = 0; i < 2; ++i) trabajos.push_back({Tipo::kOtro, "", 0, {}});
    std::shuffle(trabajos.begin(), trabajos.end(), std::mt19937(semilla));

    // Sixteen runs at a time, while FBB works on its import file.
    Fbb fbb(raiz);
    std::atomic<std::size_t> siguiente{0};
    std::vector<std::thread> hilos;
    for (int h = 0; h < 16; ++h) {
        hilos.emplace_back([&] {
            for (std::size_t i; (i = siguiente++) < trabajos.size();)
                ejecuta_trabajo(raiz, &trabajos[i]);
        });
    }
    for (auto& h : hilos) h.join();
    fbb.para();

    std::vector<std::string> fallos;
    std::size_t ejecuciones = 0, de_estacion = 0;
    std::vector<Esperado> esperados;
    for (const Trabajo& t : trabajos) {
        ejecuciones += t.runs.size();
        if (!t.indicativo.empty()) de_estacion += t.runs.size();
        esperados.push_back(esperado(t));
        if (!esperados.back().problema.empty()) fallos.push_back(esperados.back().problema);
    }

    // The mail, wherever it is: consumed by FBB, still in the import file,
    // pending, or moved aside for moving.
    std::vector<Mensaje> correo;
    for (const auto& [texto, donde] : std::vector<std::pair<std::string, std::string>>{
             {fbb.consumido(), "consumed by FBB"},
             {raiz.lee(Raiz::mail_in()), "mail.in"},
             {raiz.lee(Raiz::trabajo("mail.prt.mov")), "mail.prt.mov"},
             {raiz.lee(Raiz::trabajo("mail.prt")), "mail.prt"}}) {
        for (const Mensaje& m : lee_correo(texto, donde, &fallos)) correo.push_back(m);
    }

    // Log entries: in the logs, and in the copies that -log mailed (the copy
    // to the first sysop; the second must be the same).
    std::map<std::string, int> nopas, excld, cnx, propio;
    std::size_t entradas = 0;
    std::map<std::string, std::multiset<std::string>> copias;  // per sysop
    std::map<std::string, int> avisos, errores;                // per "sysop key"
    const std::string nuevo_asunto = "NEW USER", error_asunto = "ERROR detected!";
    for (const Mensaje& m : correo) {
        if (m.asunto == "Log file.") {
            copias[m.sysop].insert(m.cuerpo);
            if (m.sysop != kSysops[0]) continue;
            if (m.cuerpo.size() < 2 || m.cuerpo.substr(m.cuerpo.size() - 2) != "\n\n") {
                fallos.push_back("log mail without its empty line");
                continue;
            }
            const std::string log = m.cuerpo.substr(0, m.cuerpo.size() - 1);
            if (log.find("Log of failed") != std::string::npos)
                lee_log(log, "Log of failed password attemps", "mailed lognopas", &nopas, &fallos,
                        &entradas);
            else
                lee_log(log, "Log of not autorized connection attemps", "mailed logexcld", &excld,
                        &fallos, &entradas);
        } else if (m.asunto == nuevo_asunto) {
            // The header line, then "Callsign NU5-5 connected to the system
            // at first time (Port 2)." and nothing else.
            const std::string fin = " connected to the system at first time (Port 2).\n";
            const std::size_t l = m.cuerpo.find('\n');
            const std::string linea = l == std::string::npos ? "" : m.cuerpo.substr(l + 1);
            if (!cabecera_correo(m.cuerpo) || linea.rfind("Callsign ", 0) != 0 ||
                cuenta(linea, "\n") != 1 || linea.size() < 9 + fin.size() ||
                linea.compare(linea.size() - fin.size(), fin.size(), fin) != 0) {
                fallos.push_back("new-user notice not whole: " + m.cuerpo);
                continue;
            }
            ++avisos[m.sysop + " " + linea.substr(9, linea.size() - 9 - fin.size())];
        } else if (m.asunto == error_asunto) {
            // The header line, the station line, the error line and an empty
            // line, and nothing else.
            const std::size_t a = m.cuerpo.find("\nConnected callsign: ");
            const std::size_t b = m.cuerpo.find(" / Port: ");
            const std::size_t c = b == std::string::npos ? b : m.cuerpo.find('\n', b);
            const std::string resto = c == std::string::npos ? "" : m.cuerpo.substr(c + 1);
            if (!cabecera_correo(m.cuerpo) || a == std::string::npos || b == std::string::npos ||
                a != m.cuerpo.find('\n') || cuenta(m.cuerpo.substr(a + 1, c - a), "\n") != 1 ||
                (resto != kError9 && resto != kError11)) {
                fallos.push_back("error mail not whole: " + m.cuerpo);
                continue;
            }
            ++errores[m.sysop + " " + m.cuerpo.substr(a + 21, b - a - 21)];
        } else {
            fallos.push_back("a message of no kind written: " + m.asunto);
        }
    }
    if (copias[kSysops[0]] != copias[kSysops[1]]) fallos.push_back("the sysops got different logs");

    // The logs as they stand.
    const std::string trabajo = raiz.ruta("var/ax25/fbb/talmir");
    for (const auto& [nombre, titulo, cuenta_de] :
         std::vector<std::tuple<std::string, std::string, std::map<std::string, int>*>>{
             {"lognopas.prt", "Log of failed password attemps", &nopas},
             {"logexcld.prt", "Log of not autorized connection attemps", &excld}}) {
        if (raiz.existe(Raiz::trabajo(nombre)))
            lee_log(raiz.lee(Raiz::trabajo(nombre)), titulo, nombre, cuenta_de, &fallos, &entradas);
    }
    for (const std::string& f : ficheros_bajo(trabajo + "/logcnx")) {
        const std::string rel = f.substr(trabajo.size() + 1);
        bool general = rel == "logcnx/logcnx.prt";
        lee_log(lee(f), "Connections log", rel, general ? &cnx : &propio, &fallos, &entradas);
        if (!general && rel.rfind("logcnx/AL", 0) != 0)
            fallos.push_back("a log of no kind: " + rel);
    }

    // Every entry and message that each run must have left, once.
    std::size_t perdidos = 0, repetidos = 0, mensajes_esperados = 0, entradas_esperadas = 0;
    auto comprueba = [&](std::map<std::string, int>& m, const std::string& clave, bool debe,
                         const char* que) {
        int n = m.count(clave) ? m[clave] : 0;
        m.erase(clave);
        if (debe) ++entradas_esperadas;
        if (n == (debe ? 1 : 0)) return;
        if (n < (debe ? 1 : 0))
            ++perdidos;
        else
            ++repetidos;
        fallos.push_back(std::string(que) + " entry of " + clave + ": " + std::to_string(n) +
                         " times");
    };
    int con_error_mail[12] = {};
    for (std::size_t i = 0; i < trabajos.size(); ++i) {
        const Trabajo& t = trabajos[i];
        const Esperado& e = esperados[i];
        if (t.indicativo.empty()) continue;
        static const std::map<Tipo, int> puerto = {
            {Tipo::kDialogoBien, 1}, {Tipo::kDialogoMal, 1}, {Tipo::kAdmitido, 2},
            {Tipo::kNuevo, 2},       {Tipo::kExcluido, 3},   {Tipo::kExcluidoErr, 4},
            {Tipo::kCerrado, 5},     {Tipo::kCerradoErr, 6}, {Tipo::kPuerto9, 9}};
        const std::string clave = e.entrada + "/" + std::to_string(puerto.at(t.tipo));
        comprueba(nopas, clave, e.nopas, "lognopas");
        comprueba(excld, clave, e.excld, "logexcld");
        comprueba(cnx, clave, e.cnx, "connection log");
        // AL2 is listed with SSID 7 only.
        bool propio_debe = e.cnx_propio && (t.indicativo != "AL2" || t.ssid == 7);
        comprueba(propio, clave, propio_debe, "per-callsign log");
        const std::string nombre = t.ssid == 0 ? t.indicativo : ind_ssid(t);
        for (const std::string& s : kSysops) {
            const std::string k = s + " " + nombre;
            int n = avisos.count(k) ? avisos[k] : 0;
            avisos.erase(k);
            if (e.avisos) ++mensajes_esperados;
            if (n != (e.avisos ? 1 : 0)) {
                (n == 0 ? perdidos : repetidos) += 1;
                fallos.push_back("new-user notice of " + nombre + " to " + s + ": " +
                                 std::to_string(n) + " times");
            }
        }
        int mails[2];
        for (int s = 0; s < 2; ++s) {
            const std::string k = kSysops[s] + " " + ind_ssid(t);
            mails[s] = errores.count(k) ? errores[k] : 0;
            errores.erase(k);
        }
        if (mails[0] > 1 || mails[0] != mails[1] || (mails[0] == 1 && e.error_mail == 0)) {
            ++repetidos;
            fallos.push_back("error mails of " + ind_ssid(t) + ": " + std::to_string(mails[0]) +
                             " and " + std::to_string(mails[1]));
        }
        if (mails[0] == 1 && e.error_mail != 0) ++con_error_mail[e.error_mail];
    }
    for (auto* resto : {&nopas, &excld, &cnx, &propio, &avisos, &errores}) {
        for (const auto& [k, n] : *resto) {
            ++repetidos;
            fallos.push_back("written by no run: " + k + " (" + std::to_string(n) + ")");
        }
    }
    // Each error was mailed at least once (by the run that made its marker).
    for (int num : {9, 11}) {
        if (con_error_mail[num] == 0)
            fallos.push_back("error " + std::to_string(num) + " never mailed");
    }

    // What must not be left: a lock, temporary files, challenge files of
    // dialogues that ended; error.prt holds one whole report.
    if (raiz.existe(Raiz::mail_lck())) fallos.push_back("the mail lock was left");
    for (const std::string& f : ficheros_bajo(trabajo)) {
        const std::string n = f.substr(f.rfind('/') + 1);
        if (n.find(".tmp.") != std::string::npos ||
            (n.find(".prt.") != std::string::npos && n.size() > 4 &&
             n.compare(n.size() - 4, 4, ".tmp") == 0))
            fallos.push_back("temporary file left: " + f);
        if (n[0] == 'D' && n.size() > 4 && n.compare(n.size() - 4, 4, ".tmp") == 0)
            fallos.push_back("challenge file left: " + n);
    }
    const std::string informe = raiz.lee(Raiz::trabajo("error.prt"));
    if (!informe.empty() &&
        (informe.rfind("\n[TALMIR v", 0) != 0 || cuenta(informe, "[TALMIR v") != 1 ||
         cuenta(informe, "*** ERROR 001") != 1 || informe.size() < 2 ||
         informe.compare(informe.size() - 2, 2, "\n\n") != 0))
        fallos.push_back("error.prt is no whole report: " + informe);

    std::cout << "stress, round " << semilla - 2025 << ": " << ejecuciones << " runs ("
              << de_estacion << " station runs), " << correo.size() << " messages ("
              << mensajes_esperados << " notices expected, "
              << con_error_mail[9] + con_error_mail[11] << " error mails, "
              << copias[kSysops[0]].size() << " log mails per sysop), " << entradas
              << " log entries (" << entradas_esperadas << " expected), FBB took its lock "
              << fbb.tomas() << " times (" << fbb.con_pendiente() << " with mail pending); lost "
              << perdidos << ", duplicated or stray " << repetidos << std::endl;
    EXPECT_GE(de_estacion, 200u);
    EXPECT_EQ(perdidos, 0u);
    EXPECT_EQ(repetidos, 0u);
    for (const std::string& f : fallos) ADD_FAILURE() << f;
}

// One round in the test suite; TALMIR_ESTRES_VUELTAS=N runs N rounds, each
// shuffled differently, for a longer search by hand.
TEST(Estres, EjecucionesSolapadasSobreUnDirectorio) {
    const char* n = std::getenv("TALMIR_ESTRES_VUELTAS");
    const int vueltas = n != nullptr && std::atoi(n) > 0 ? std::atoi(n) : 1;
    for (int v = 0; v < vueltas && !HasFailure(); ++v) vuelta(2026u + static_cast<unsigned>(v));
}

}  // namespace
}  // namespace prueba
