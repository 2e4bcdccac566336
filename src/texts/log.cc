// SPDX-License-Identifier: GPL-2.0-or-later
// Logs of failed passwords, excluded stations and admitted connections, and
// the "-log" command that mails the refusal logs to the sysops.
//
// A log file begins with its header, written only by the run that creates the
// file: the header and the first entry are written into a temporary file of
// the same directory, which is then linked into place. A run that finds the
// name taken meanwhile appends its entry instead. Entries are appended with
// one write on a descriptor opened with O_APPEND, so that entries of
// overlapping runs never mix. All log writing fails silently.
#include "texts/log.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <string>
#include <string_view>

#include "config/config.h"
#include "driver/disco.h"
#include "driver/global.h"
#include "driver/lineas.h"
#include "driver/texto.h"
#include "texts/correo.h"
#include "texts/lenguaje.h"

namespace talmir {

namespace {

// Column line: titles 19, 12, 21 and 22 centred on these positions.
constexpr int COL_TEXTO[4] = {19, 12, 21, 22};
constexpr int COL_CENTRO[4] = {13, 28, 42, 62};
constexpr std::size_t COL_MAX = 80;

// Log options: the letters of "config.prt" and "logusr.prt".
constexpr std::uint16_t LOG_CONSOLA = 1;  // "C"
constexpr std::uint16_t LOG_DIA = 2;      // "D"
constexpr std::uint16_t LOG_SEMANA = 4;   // "W"
constexpr std::uint16_t LOG_MES = 8;      // "M"

// Words of a "logusr.prt" line.
constexpr std::size_t LOGUSR_INDIC_MAX = 10;
constexpr std::size_t LOGUSR_OPS_MAX = 9;
constexpr std::size_t LOGUSR_LINEA = 256;

constexpr int LOG_INTENTOS = 4;

std::string cabecera(const char* titulo) {
    char linea[256];
    std::string s = "\n";
    formatea(linea, sizeof linea, "[TALMIR v%s] - %.80s:\n", version, titulo);
    s += linea;
    s += "\n";
    char columnas[COL_MAX + 1];
    cabecera_log(columnas);
    s += columnas;
    s += "\n   ";
    s.append(69, '=');
    s += "\n";
    return s;
}

std::string entrada() {
    const struct tm* t = hor_fch;
    char tiempo[64];
    char fecha[64];
    formatea(tiempo, sizeof tiempo, "%02d:%02d:%02d  ", t->tm_hour, t->tm_min, t->tm_sec);
    formatea(fecha, sizeof fecha, "%02d-%02d-%04d", t->tm_mday, t->tm_mon + 1, t->tm_year + 1900);
    Indicativo id;
    char linea[256];
    formatea(linea, sizeof linea, "         %-6s-%-2d        %2d         %s         %s\n", id.t,
             usuario.ssid, usuario.puerto, tiempo, fecha);
    return linea;
}

// Adds one entry to a log, creating it with its header when it is new: the
// header is written only by the run that creates the file, and always first.
// Writers share the log (flock LOCK_SH) with one another, while "-log" takes
// it alone to mail and delete it: an entry goes into the file that bears the
// log's name when it is written, never into one that "-log" has read. No
// half entry stays for the next one to follow.
void escribe_log(const char* ruta, const char* titulo) {
    const std::string linea = entrada();
    Anexo como;
    como.cerrojo = Anexo::Cerrojo::compartido;
    como.reintentos = LOG_INTENTOS;
    for (int i = 0; i < LOG_INTENTOS; ++i) {
        if (anexa(ruta, linea, como) != Anexado::sin_fichero) return;
        // No file: this run creates it, unless another one does first.
        if (crea_con(ruta, cabecera(titulo) + linea) != 0) return;
    }
}

void log_rechazo(const char* nombre, int texto) {
    char ruta[RUTA_MAX];
    if (!ruta_trabajo(ruta, nombre)) return;
    escribe_log(ruta, lenguaje[texto]);
}

// A directory of the logs: made one level only; one that another run made
// meanwhile counts as made.
bool asegura_dir(const char* dir) {
    if (existe(dir)) return true;
    return prt_mkdir(dir) == 0 || errno == EEXIST;
}

std::uint16_t valor_opcion(char c) {
    switch (c) {
        case 'C':
            return LOG_CONSOLA;
        case 'D':
            return LOG_DIA;
        case 'W':
            return LOG_SEMANA;
        case 'M':
            return LOG_MES;
        default:
            return 0;
    }
}

// Mails one refusal log to every sysop and deletes it once the mail has been
// written. False when the mail import could not be opened.
bool envia_log(const char* nombre) {
    char ruta[RUTA_MAX];
    if (!ruta_trabajo(ruta, nombre)) return true;
    // Alone with the log from the reading to the deletion, so that no entry
    // comes in between; a log that another "-log" has mailed and deleted
    // meanwhile is not mailed again.
    Tomado tomado;
    std::string cuerpo;
    if (tomado.toma(ruta, &cuerpo, LOG_INTENTOS) != 1) return true;
    cuerpo += "\n";

    MAILIN correo;
    if (!abre_mailin(&correo)) return false;
    char asunto[96];
    formatea(asunto, sizeof asunto, "%.80s.", lenguaje[17]);
    escribe_a_sysops(&correo, asunto, cuerpo);
    // A log is deleted only once its mail has been written: never lose one.
    if (cierra_mailin(&correo)) tomado.borra();
    return true;
}

}  // namespace

void lognopas() {
    log_rechazo("lognopas.prt", 16);
}

void logexcld() {
    log_rechazo("logexcld.prt", 15);
}

void logcnx(int tipo) {
    std::uint16_t ops = 0;
    if (tipo == 0) {
        ops = cfg.logcnx_ops;
    } else if (search_logusr(&ops) != 1) {
        return;
    }
    if (usuario.puerto == 0 && (ops & LOG_CONSOLA) == 0) return;

    Indicativo id;
    char dir[RUTA_MAX];
    if (!ruta_trabajo(dir, "logcnx")) return;
    char nombre[sizeof id.t];
    copia(nombre, sizeof nombre, tipo == 0 ? "logcnx" : id.t);
    const char* ext = tipo == 0 ? "prt" : "log";

    char periodo[16] = {};
    const char* formato = (ops & LOG_SEMANA) != 0 ? "%W"
                          : (ops & LOG_MES) != 0  ? "%m"
                          : (ops & LOG_DIA) != 0  ? "%j"
                                                  : nullptr;
    if (formato != nullptr && std::strftime(periodo, sizeof periodo, formato, hor_fch) == 0) return;
    if (formato != nullptr && (ops & (LOG_SEMANA | LOG_MES)) == 0) {
        if (tipo == 0) {
            nombre[5] = '\0';  // "logcn" and the day of the year
        } else {
            // The per-callsign daily logs lie in a directory of the callsign,
            // made inside "logcnx" (one level: never "logcnx" itself).
            char sub[RUTA_MAX];
            if (!junta_ruta(sub, sizeof sub, dir, id.t)) return;
            copia(dir, sizeof dir, sub);
            nombre[0] = '\0';
        }
    }
    if (!asegura_dir(dir)) return;

    char ruta[RUTA_MAX];
    if (!formatea(ruta, sizeof ruta, "%s/%s%s.%s", dir, nombre, periodo, ext)) return;
    escribe_log(ruta, lenguaje[29]);
}

int search_logusr(std::uint16_t* log_ops) {
    Indicativo id;
    char completo[32];
    formatea(completo, sizeof completo, "%s-%d", id.t, usuario.ssid);

    char ruta[RUTA_MAX];
    if (!ruta_trabajo(ruta, "logusr.prt")) return 0;
    Archivo f = Archivo::abre(ruta, "r");
    if (!f) return 0;

    char linea[LOGUSR_LINEA];
    while (lee_linea(f.get(), linea, sizeof linea)) {
        if (es_comentario(linea)) continue;
        strupr(linea);
        const char* p = linea;
        char indic[LOGUSR_INDIC_MAX + 1];
        const std::size_t n = lee_palabra(&p, indic, sizeof indic);
        // A callsign word longer than its room never matches.
        if (n == 0 || n > LOGUSR_INDIC_MAX) continue;
        if (std::strcmp(indic, id.t) != 0 && std::strcmp(indic, completo) != 0) continue;

        // An option word longer than its room counts by its first letters.
        char opciones[LOGUSR_OPS_MAX + 1];
        if (lee_palabra(&p, opciones, sizeof opciones) == 0) {
            *log_ops = 0;
        } else {
            for (const char* c = opciones; *c != '\0'; ++c) {
                *log_ops = static_cast<std::uint16_t>(*log_ops + valor_opcion(*c));
            }
        }
        return 1;
    }
    return 0;
}

void cabecera_log(char* buffer) {
    // The line never passes its 80 characters: a title that would is cut at
    // the end of the line, and the titles after it are dropped.
    std::size_t largo = 0;
    buffer[0] = '\0';
    for (int i = 0; i < 4; ++i) {
        const char* titulo = lenguaje[COL_TEXTO[i]];
        const std::size_t n = strnlen(titulo, sizeof lenguaje[0]);
        const long inicio = COL_CENTRO[i] - static_cast<long>(n / 2);
        while (static_cast<long>(largo) < inicio && largo < COL_MAX) buffer[largo++] = ' ';
        const std::size_t cabe = n < COL_MAX - largo ? n : COL_MAX - largo;
        std::memcpy(buffer + largo, titulo, cabe);
        largo += cabe;
    }
    buffer[largo] = '\0';
    strupr(buffer);
}

void log(const char* sysop_log_t, char* r_buf) {
    // The logs go to every sysop of the configuration, whatever callsign the
    // command named; "#" (no callsign) has the configuration read once more.
    if (!leido_init && lee_init(r_buf) != 1) return;
    inic_textos(r_buf, "**");
    // A configuration that cannot be read still leaves a recipient: the
    // sysops read before the fault, or FBB's sysop, so that no log is
    // deleted unsent.
    if (!leido_cfg && lee_cfg(r_buf) < 0 && cfg.num_sysop == 0) {
        copia(cfg.sysop[0], sizeof cfg.sysop[0], infbbs.sysop);
        cfg.num_sysop = 1;
    }
    if (sysop_log_t[0] == '#' && lee_cfg(r_buf) < 0) return;

    if (!envia_log("logexcld.prt")) return;
    envia_log("lognopas.prt");
}

}  // namespace talmir
