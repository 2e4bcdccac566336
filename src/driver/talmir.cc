// SPDX-License-Identifier: GPL-2.0-or-later
#include "driver/talmir.h"

#include <strings.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <ctime>
#include <string>

#include "auth/bloqueos.h"
#include "auth/forward.h"
#include "auth/resp.h"
#include "config/config.h"
#include "driver/acceso.h"
#include "driver/disco.h"
#include "driver/estado.h"
#include "driver/global.h"
#include "driver/inyeccion.h"
#include "driver/rutas.h"
#include "driver/testigo.h"
#include "driver/texto.h"
#include "texts/correo.h"
#include "texts/error.h"
#include "texts/intro.h"
#include "texts/lenguaje.h"
#include "texts/log.h"

namespace talmir {

namespace {

// Limits of the station-mode arguments, in characters.
constexpr std::size_t MAX_INDICATIVO = 6;
constexpr std::size_t MAX_INDICATIVO_SSID = 9;
constexpr std::size_t MAX_RESPUESTA = 80;

void escribe_salida(const char* texto) {
    escribe_todo(STDOUT_FILENO, texto, strnlen(texto, RBUF_SIZE - 1));
}

// Argument i of a station's line, or the empty text when FBB passed fewer.
const char* argumento(int argc, char** argv, int i) {
    return i < argc ? argv[i] : "";
}

}  // namespace

void sin_arg(char* /*r_buf*/) {
    char banner[256];
    formatea(banner, sizeof banner,
             "\n"
             "\t\t\t   ***** TALMIR v%s *****\n"
             "\t\t  Autentificador de usuarios para BBS radio\n"
             "\t\t  Este software ha de ser ejecutado por FBB\n"
             "\n"
             "\n",
             version);
    escribe_salida(banner);
}

int almacena_arg(int argc, char** argv) {
    // The callsign: letters and digits, a hyphen, at least one more character.
    const char* indicativo = argumento(argc, argv, 1);
    std::size_t n = 0;
    while (es_alfanumerico(indicativo[n])) ++n;
    if (n == 0 || indicativo[n] != '-' || indicativo[n + 1] == '\0') return -1;
    // A callsign is never cut: N0CALLX must not pass as N0CALL.
    if (n > MAX_INDICATIVO || std::strlen(indicativo) > MAX_INDICATIVO_SSID) return -1;

    copia(usuario.id, sizeof usuario.id, std::string_view(indicativo, n));
    usuario.ssid = static_cast<std::uint8_t>(a_numero(indicativo + n + 1));
    usuario.llamada = static_cast<std::uint8_t>(a_numero(argumento(argc, argv, 2)));
    usuario.mascara = static_cast<std::uint16_t>(a_numero(argumento(argc, argv, 3)));
    usuario.nuevo = static_cast<std::int16_t>(a_numero(argumento(argc, argv, 4)));
    usuario.registro = a_numero(argumento(argc, argv, 5));
    usuario.puerto = static_cast<std::int8_t>(a_numero(argumento(argc, argv, 6)));

    // The typed line. FBB hands it through the shell, which splits it into
    // words: they are joined again with one blank between them. Only the
    // first 80 characters count.
    usuario.respuesta[0] = '\0';
    if (usuario.llamada > 0 || usuario.nuevo == -1) {
        std::size_t usado = 0;
        for (int i = 7; i < argc && usado < MAX_RESPUESTA; ++i) {
            if (i > 7) usuario.respuesta[usado++] = ' ';
            copia(usuario.respuesta + usado, MAX_RESPUESTA + 1 - usado, argv[i]);
            usado = std::strlen(usuario.respuesta);
        }
        usuario.respuesta[usado < MAX_RESPUESTA ? usado : MAX_RESPUESTA] = '\0';
    }
    return 1;
}

void cmd_directo(const char* argv1, const char* argv2, char* r_buf) {
    if (strcasecmp(argv1, "-log") == 0) {
        if (argv2[0] == '#') {
            log("#", r_buf);
        } else {
            char indicativo[81];
            copia(indicativo, sizeof indicativo, argv2);
            log(strupr(indicativo), r_buf);
        }
    } else if (strcasecmp(argv1, "-on") == 0) {
        estado_filtro(1);
    } else if (strcasecmp(argv1, "-off") == 0) {
        estado_filtro(0);
    } else if (strcasecmp(argv1, "-locks") == 0 || strcasecmp(argv1, "-unlock") == 0) {
        // The banner first, then the report.
        sin_arg(r_buf);
        std::string informe;
        if (strcasecmp(argv1, "-locks") == 0) {
            lista_bloqueos(&informe);
        } else {
            desbloquea(argv2, &informe);
        }
        escribe_todo(STDOUT_FILENO, informe.data(), informe.size());
        return;
    } else if (strcasecmp(argv1, "-pnormal") == 0 || strcasecmp(argv1, "-pbbs") == 0) {
        if (argv2[0] != '#') {
            auto puerto = static_cast<std::uint8_t>(a_numero(argv2));
            estado_puerto(puerto, strcasecmp(argv1, "-pnormal") == 0 ? 1 : 0);
        }
    }
    sin_arg(r_buf);
}

int corre_estacion(int argc, char** argv, char* r_buf) {
    correo_pendiente(r_buf);
    if (almacena_arg(argc, argv) == -1) {
        r_buf[0] = '\0';
        return SALIDA_DESCONECTA;
    }

    // A run that carries a typed line may have had it run by FBB's shell. The
    // report goes first: under a pipe, the output's reader may be gone.
    if ((usuario.llamada > 0 || usuario.nuevo == -1) && busca_inyeccion() == 1) {
        rechaza_inyeccion(r_buf);
        (void)std::signal(SIGPIPE, SIG_IGN);
        return valor_salida;
    }

    if (usuario.nuevo == -1) {
        resp_fwd(r_buf);
        return valor_salida;
    }
    if (usuario.nuevo == 1) nuevo_usr(r_buf);

    if (usuario.llamada > 0) {
        resp_usr(r_buf);
    } else {
        char prt_id[16];
        formatea(prt_id, sizeof prt_id, "{TALMIR-%s}\n", version);
        copia(r_buf, RBUF_SIZE, prt_id);

        char stfich[RUTA_MAX];
        if (ruta_trabajo(stfich, "talmir.sta") && existe(stfich)) {
            testigo_marca(stfich, "the filter is off");
            return SALIDA_ENTRA;
        }
        if ((usuario.mascara & (FLAG_SYSOP | FLAG_BBS)) == 0 && puerto_cerrado() != 0) {
            return SALIDA_DESCONECTA;
        }
        // A locked-out station is neither challenged nor looked up.
        if (bloqueado_hasta(regla_estacion(r_buf)) != 0) {
            rechaza_bloqueado(r_buf);
            return valor_salida;
        }
        prim_llamd(r_buf);
    }

    if (cfg.log_cnx && valor_salida != SALIDA_OTRA && valor_salida != SALIDA_DESCONECTA) {
        logcnx(0);
        logcnx(1);
    }
    return valor_salida;
}

int talmir_main(int argc, char** argv) {
    char r_buf[RBUF_SIZE] = {};
    inicia_globales(std::time(nullptr));

    if (argc < 2) {
        sin_arg(r_buf);
        escribe_salida(r_buf);
        return SALIDA_ENTRA;
    }
    textos_defecto();
    if (argc <= 3) {
        cmd_directo(argv[1], argc == 3 ? argv[2] : "#", r_buf);
        return SALIDA_ENTRA;
    }
    const int salida = corre_estacion(argc, argv, r_buf);
    escribe_salida(r_buf);
    return salida;
}

}  // namespace talmir
