// The FBB dialogue simulator: how it splits typed lines and answers
// challenges, the arguments it gives each run, and whole dialogues with the
// program.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "../tools/fbbsim_respuesta.h"
#include "auth/md5c.h"
#include "entorno.h"

namespace {

std::vector<std::string> palabras(const char* linea, int* n_out = nullptr) {
    fbbsim::Palabras w;
    int n = fbbsim::trocea_linea(linea, &w);
    if (n_out != nullptr) *n_out = n;
    std::vector<std::string> v;
    for (int i = 0; i < w.n && n >= 0; ++i) v.push_back(w.p[i]);
    return v;
}

TEST(FbbsimTrocea, LineasComoLasPartaElShellDeFbb) {
    struct Caso {
        const char* linea;
        std::vector<std::string> esperado;
    } casos[] = {
        {"", {}},
        {"   \t ", {}},
        {"abcde", {"abcde"}},
        {"  hello   world ", {"hello", "world"}},
        {"a\tb", {"a", "b"}},
        {"abc;rm x", {"abc"}},
        {";abc", {}},
        {"'a b' c", {"a b", "c"}},
        {"\"x  y\"z", {"x  yz"}},
        {"\"a\\\"b\\c\"", {"a\"b\\c"}},
        {"a\\ b", {"a b"}},
        {"![0123456789]", {"![0123456789]"}},
    };
    for (const auto& c : casos) EXPECT_EQ(palabras(c.linea), c.esperado) << c.linea;
}

TEST(FbbsimTrocea, CortaA80CaracteresYRechazaComillasAbiertas) {
    std::string larga(78, 'a');
    larga += " bcdef";  // the cut at 80 leaves "b"
    EXPECT_EQ(palabras(larga.c_str()), (std::vector<std::string>{std::string(78, 'a'), "b"}));
    std::string maximas;
    for (int i = 0; i < 60; ++i) maximas += "x ";
    EXPECT_EQ(palabras(maximas.c_str()).size(), 40u);
    for (const char* abierta : {"it's", "\"abc", "'", "a \"b c"}) {
        int n = 0;
        palabras(abierta, &n);
        EXPECT_EQ(n, -1) << abierta;
    }
}

// A stand-in digest that shows what was hashed: the text, padded with dots.
void resumen_visible(const unsigned char* d, std::size_t n, char hex[33]) {
    for (std::size_t i = 0; i < 32; ++i) hex[i] = i < n ? static_cast<char>(d[i]) : '.';
    hex[32] = '\0';
}

struct Respuesta {
    fbbsim::Reto reto;
    std::string texto;
};

Respuesta responde(const std::string& salida, const char* password) {
    char r[400];
    fbbsim::Reto t =
        fbbsim::responde(salida.data(), salida.size(), password, resumen_visible, r, sizeof r);
    return {t, r};
}

TEST(FbbsimResponde, CadaRetoConSuRespuesta) {
    const std::string id = prueba::id_linea();
    struct Caso {
        std::string salida;
        const char* password;
        fbbsim::Reto reto;
        std::string texto;
    } casos[] = {
        // NORMAL after the identification line; positions may repeat.
        {id + "\nPASSWORD> 3 3 1 8 2\n", "Secreto7", fbbsim::RETO_NORMAL, "ccS7e"},
        {id + "\nPASSWORD> 1 1 1 1 1\n", "x", fbbsim::RETO_NORMAL, "xxxxx"},
        // TABLE's prompt and a prompt with blanks and digits of its own.
        {id + "\nPASSWORD_6> 5 4 3 2 1\n", "abcde", fbbsim::RETO_NORMAL, "edcba"},
        {"\nKEY 12 > 2 2 2 2 2\n", "abc", fbbsim::RETO_NORMAL, "bbbbb"},
        // A fresh challenge after a wrong answer, and a position beyond the password.
        {"\nPASSWORD> 10 300 1 2 3\n", "abcdefghij", fbbsim::RETO_NORMAL, "j?abc"},
        // MD: the ten digits in brackets followed by the password are hashed.
        {id + "\nPASSWORD> 1 2 3 4 5 [0123456789]\n", "pw", fbbsim::RETO_MD,
         "0123456789pw...................."},
        // FLEXNET: sum of digit products; a letter counts 0; zeros give "0".
        {id + "\nPASSWORD> 12345\n", "11111", fbbsim::RETO_FLEXNET, "15"},
        {"\nPASSWORD> 99999\n", "99999", fbbsim::RETO_FLEXNET, "405"},
        {"\nPASSWORD> 98765\n", "1a2b3", fbbsim::RETO_FLEXNET, "38"},
        {"\nPASSWORD> 00000\n", "12345", fbbsim::RETO_FLEXNET, "0"},
        // FIXED: the prompt line has no newline; the whole pass phrase.
        {id + "\nPASSWORD> ", "la frase", fbbsim::RETO_FIJO, "la frase"},
        // Forward: "\n![%s]\n".
        {"\n![5550001112]\n", "clave", fbbsim::RETO_FORWARD, "5550001112clave................."},
        // Nothing to answer.
        {"", "x", fbbsim::RETO_NINGUNO, ""},
        {id, "x", fbbsim::RETO_NINGUNO, ""},
        {id + "\nWelcome to the BBS\n", "x", fbbsim::RETO_NINGUNO, ""},
        {"\nPASSWORD> 1 2 3 4\n", "x", fbbsim::RETO_NINGUNO, ""},
        {"\n![12345]\n", "x", fbbsim::RETO_NINGUNO, ""},
        {"\nPASSWORD> 1 2 3 4 5 [12345]\n", "x", fbbsim::RETO_NINGUNO, ""},
    };
    for (const auto& c : casos) {
        Respuesta r = responde(c.salida, c.password);
        EXPECT_EQ(r.reto, c.reto) << c.salida;
        EXPECT_EQ(r.texto, c.texto) << c.salida;
    }
}

TEST(FbbsimResponde, NuncaEscribeMasAllaDelEspacio) {
    char r[8];
    std::memset(r, '#', sizeof r);
    EXPECT_EQ(fbbsim::responde("\nP> ", 4, "una frase larga", resumen_visible, r, 4),
              fbbsim::RETO_NINGUNO);
    EXPECT_EQ(r[4], '#');
    EXPECT_EQ(fbbsim::responde("\nP> 1 2 3 4 5\n", 14, "abcde", resumen_visible, r, 5),
              fbbsim::RETO_NINGUNO);
    EXPECT_EQ(fbbsim::responde("\n![0123456789]\n", 15, "k", resumen_visible, r, 8),
              fbbsim::RETO_NINGUNO);
    EXPECT_EQ(r[5], '#');
}

// ---- fbbsim as a program --------------------------------------------------

struct Salida {
    std::string texto;
    int codigo = -1;
};

// Runs fbbsim in the directory with the arguments, standard input /dev/null.
Salida fbbsim_corre(const std::string& dir, const std::vector<std::string>& args) {
    Salida s;
    int p[2];
    if (pipe(p) != 0) return s;
    pid_t pid = fork();
    if (pid == 0) {
        if (chdir(dir.c_str()) != 0) _exit(126);
        int nulo = open("/dev/null", O_RDONLY);
        dup2(nulo, 0);
        dup2(p[1], 1);
        dup2(p[1], 2);
        close(p[0]);
        std::vector<std::string> copia = args;
        std::string programa = FBBSIM_BIN;
        std::vector<char*> argv{programa.data()};
        for (auto& a : copia) argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(programa.c_str(), argv.data());
        _exit(127);
    }
    close(p[1]);
    char buf[4096];
    ssize_t n;
    while ((n = read(p[0], buf, sizeof buf)) > 0 || (n < 0 && errno == EINTR))
        if (n > 0) s.texto.append(buf, static_cast<std::size_t>(n));
    close(p[0]);
    int estado = 0;
    while (waitpid(pid, &estado, 0) < 0 && errno == EINTR) {
    }
    s.codigo = WIFEXITED(estado) ? WEXITSTATUS(estado) : -1;
    return s;
}

int cuenta(const std::string& texto, const std::string& trozo) {
    int n = 0;
    for (std::size_t p = texto.find(trozo); p != std::string::npos; p = texto.find(trozo, p + 1))
        ++n;
    return n;
}

// A stand-in for talmir that prints its arguments one per line between "<"
// and ">" and its current directory (on standard error in a forward run), waits for answers up to
// counter 2 and then lets the station in; in a forward run it answers "DIGEST-" and its 7th
// argument.
void escribe_eco(const prueba::Raiz& raiz) {
    raiz.escribe("eco.sh",
                 "#!/bin/sh\n"
                 "if [ \"$4\" = -1 ]; then exec 3>&2; else exec 3>&1; fi\n"
                 "for a in \"$@\"; do printf '<%s>\\n' \"$a\" >&3; done\n"
                 "pwd >&3\n"
                 "if [ \"$4\" = -1 ]; then printf 'DIGEST-%s\\n' \"$7\"; exit 0; fi\n"
                 "if [ \"$6\" = 5 ]; then\n"
                 "  if [ \"$2\" = 0 ]; then printf '\\nPASSWORD> '; exit 1; fi\n"
                 "  exit 0\n"
                 "fi\n"
                 "if [ \"$6\" = 7 ]; then\n"
                 "  if [ \"$2\" = 0 ]; then printf '\\n![0123456789]\\n'; exit 1; fi\n"
                 "  exit 0\n"
                 "fi\n"
                 "if [ \"$2\" -lt 2 ]; then printf '\\nPASSWORD> 1 2 3 4 5\\n'; exit 1; fi\n"
                 "exit 0\n");
    chmod(raiz.ruta("eco.sh").c_str(), 0755);
}

TEST(FbbsimPrograma, ArgumentosDeCadaEjecucionComoLosDaFbb) {
    prueba::Raiz raiz;
    escribe_eco(raiz);
    raiz.escribe("lineas", "  uno   dos ;tres\n\n");
    raiz.crea_dir("filtro");
    Salida s =
        fbbsim_corre(raiz.dir(), {"--talmir", "eco.sh", "--dir", "filtro", "--port", "3", "--flags",
                                  "8", "--new", "--record", "42", "--script", "lineas", "n0call"});
    EXPECT_EQ(s.codigo, 0) << s.texto;
    // First call: six arguments, no typed line.
    EXPECT_NE(s.texto.find("[fbbsim] run: N0CALL-0 0 8 1 42 3\n<N0CALL-0>\n<0>\n<8>\n<1>\n<42>\n"
                           "<3>\n" +
                           raiz.ruta("filtro") + "\n"),
              std::string::npos)
        << s.texto;
    // The typed line in words, cut at ";"; the empty line gives no argument.
    EXPECT_NE(s.texto.find("<3>\n<uno>\n<dos>\n"), std::string::npos) << s.texto;
    EXPECT_NE(s.texto.find("[fbbsim] run: N0CALL-0 2 8 1 42 3\n"), std::string::npos);
    EXPECT_EQ(cuenta(s.texto, "<tres>"), 0);
    EXPECT_EQ(cuenta(s.texto, "[fbbsim] run:"), 3);
    EXPECT_NE(s.texto.find("[fbbsim] exit 0: let in\n"), std::string::npos);
}

TEST(FbbsimPrograma, FinDelGuionYComillaAbierta) {
    prueba::Raiz raiz;
    escribe_eco(raiz);
    raiz.escribe("una", "abcde\n");
    Salida s = fbbsim_corre(raiz.dir(), {"--talmir", "eco.sh", "--script", "una", "N0CALL-1"});
    EXPECT_EQ(s.codigo, 1) << s.texto;
    EXPECT_NE(s.texto.find("the link is dropped"), std::string::npos) << s.texto;
    raiz.escribe("comilla", "it's me\n");
    s = fbbsim_corre(raiz.dir(), {"--talmir", "eco.sh", "--script", "comilla", "N0CALL-1"});
    EXPECT_EQ(s.codigo, 2) << s.texto;
    EXPECT_EQ(cuenta(s.texto, "[fbbsim] run:"), 1);
    // The --max bound ends a dialogue that never ends by itself.
    raiz.escribe("muchas", "a\na\na\na\n");
    s = fbbsim_corre(raiz.dir(),
                     {"--talmir", "eco.sh", "--script", "muchas", "--max", "1", "N0CALL-1"});
    EXPECT_EQ(s.codigo, 1);
    EXPECT_EQ(cuenta(s.texto, "[fbbsim] run:"), 1);
}

TEST(FbbsimPrograma, LaRespuestaAUnPromptAbiertoQuedaEnSuLinea) {
    prueba::Raiz raiz;
    escribe_eco(raiz);
    raiz.escribe("frase", "Frase-de-paso\n");
    raiz.escribe("nada", "");
    const std::string prompt = "\n<5>\n" + raiz.dir() + "\n\nPASSWORD> ";
    for (const auto& extra : std::vector<std::vector<std::string>>{{"--script", "frase"},
                                                                   {"--answer", "Frase-de-paso"}}) {
        std::vector<std::string> args = {"--talmir", "eco.sh", "--port", "5"};
        args.insert(args.end(), extra.begin(), extra.end());
        args.push_back("N0FIX");
        Salida s = fbbsim_corre(raiz.dir(), args);
        EXPECT_EQ(s.codigo, 0) << s.texto;
        EXPECT_NE(s.texto.find(prompt + "Frase-de-paso\n[fbbsim] run: N0FIX-0 1 0 0 0 5 "
                                        "Frase-de-paso\n"),
                  std::string::npos)
            << s.texto;
    }
    Salida s = fbbsim_corre(raiz.dir(),
                            {"--talmir", "eco.sh", "--port", "5", "--script", "nada", "N0FIX"});
    EXPECT_EQ(s.codigo, 1) << s.texto;
    EXPECT_NE(s.texto.find(prompt + "\n[fbbsim] the station types nothing more"), std::string::npos)
        << s.texto;
}

TEST(FbbsimPrograma, ForwardEntreDosBbsConArgumentosDeFbb) {
    prueba::Raiz raiz;
    escribe_eco(raiz);
    raiz.crea_dir("a");
    raiz.crea_dir("b");
    Salida s = fbbsim_corre(raiz.dir(), {"--talmir", "eco.sh", "--forward", "n0bbs", "--dir", "a",
                                         "--partner-dir", "b", "--port", "7", "N1BBS-2"});
    EXPECT_EQ(s.codigo, 0) << s.texto;
    EXPECT_NE(s.texto.find("[fbbsim] A run: N1BBS-2 0 16 0 0 7\n"), std::string::npos) << s.texto;
    EXPECT_NE(s.texto.find("[fbbsim] A -> B: ![0123456789]\n"), std::string::npos);
    EXPECT_NE(s.texto.find("[fbbsim] B run: N0BBS-0 0 16 -1 0 7 [0123456789]\n"),
              std::string::npos);
    EXPECT_NE(s.texto.find(raiz.ruta("b") + "\nDIGEST-[0123456789]\n"), std::string::npos);
    EXPECT_NE(s.texto.find("[fbbsim] B -> A: DIGEST-[0123456789]\n"), std::string::npos);
    EXPECT_NE(s.texto.find("[fbbsim] A run: N1BBS-2 1 16 0 0 7 DIGEST-[0123456789]\n"),
              std::string::npos);
    EXPECT_NE(s.texto.find("[fbbsim] exit 0: let in\n"), std::string::npos);
}

TEST(FbbsimPrograma, ErroresDeUso) {
    prueba::Raiz raiz;
    for (const auto& args : std::vector<std::vector<std::string>>{
             {},
             {"--port", "100", "N0CALL-0"},
             {"--flags", "x", "N0CALL-0"},
             {"--bogus", "N0CALL-0"},
             {"--talmir", "no-such-program", "N0CALL-0"},
             {"--talmir", TALMIR_BIN, "--dir", "no-such-dir", "N0CALL-0"},
             {"--talmir", TALMIR_BIN, "--forward", "N0BBS", "N1BBS"},
             {"--talmir", TALMIR_BIN, "--answer", "x", "--script", "y", "N0CALL-0"},
         }) {
        Salida s = fbbsim_corre(raiz.dir(), args);
        EXPECT_EQ(s.codigo, 64) << s.texto;
    }
}

// ---- Whole dialogues with the program -------------------------------------

void estacion_normal(const prueba::Raiz& raiz) {
    raiz.fbb_basico();
    raiz.config(prueba::config_basica("1 OPEN\n"));
    raiz.usuarios("N0CALL\n1 NORMAL Secreto7\n-\n");
}

// The characters a NORMAL challenge line "PASSWORD> a b c d e" asks for.
std::string pedidos(const std::string& texto, std::size_t desde, const std::string& password) {
    std::size_t p = texto.find("PASSWORD> ", desde);
    if (p == std::string::npos) return "";
    std::string r;
    const char* s = texto.c_str() + p + 10;
    for (int i = 0; i < 5; ++i) {
        char* fin = nullptr;
        long v = std::strtol(s, &fin, 10);
        if (fin == s || v < 1 || v > static_cast<long>(password.size())) return "";
        r += password[static_cast<std::size_t>(v - 1)];
        s = fin;
    }
    return r;
}

TEST(FbbsimDialogo, NormalConLaClaveEntra) {
    prueba::Raiz raiz;
    estacion_normal(raiz);
    Salida s = fbbsim_corre(raiz.dir(), {"--talmir", TALMIR_BIN, "--dir", raiz.dir(), "--port", "1",
                                         "--answer", "Secreto7", "N0CALL-0"});
    EXPECT_EQ(s.codigo, 0) << s.texto;
    EXPECT_NE(s.texto.find(prueba::id_linea() + "\nPASSWORD> "), std::string::npos) << s.texto;
    std::string esperado = pedidos(s.texto, 0, "Secreto7");
    ASSERT_EQ(esperado.size(), 5u) << s.texto;
    std::size_t linea = s.texto.find('\n', s.texto.find("PASSWORD> "));
    EXPECT_EQ(s.texto.substr(linea + 1, 6), esperado + "\n") << s.texto;
    EXPECT_NE(s.texto.find("[fbbsim] run: N0CALL-0 1 0 0 0 1 " + esperado + "\n"),
              std::string::npos);
    EXPECT_NE(s.texto.find("[fbbsim] exit 0: let in\n"), std::string::npos);
    EXPECT_FALSE(raiz.existe(prueba::Raiz::trabajo("N0CALL0.tmp")));
}

TEST(FbbsimDialogo, RespuestasFalsasHastaLaDesconexion) {
    prueba::Raiz raiz;
    estacion_normal(raiz);
    raiz.escribe("falsas", "zzzzz\nzz zzz\n\n");
    Salida s = fbbsim_corre(raiz.dir(), {"--talmir", TALMIR_BIN, "--dir", raiz.dir(), "--script",
                                         raiz.ruta("falsas"), "N0CALL-0"});
    EXPECT_EQ(s.codigo, 2) << s.texto;
    EXPECT_EQ(cuenta(s.texto, "\nPASSWORD> "), 3) << s.texto;
    EXPECT_EQ(cuenta(s.texto, "[fbbsim] run:"), 4);
    EXPECT_NE(s.texto.find("[fbbsim] run: N0CALL-0 2 0 0 0 1 zz zzz\n"), std::string::npos);
    EXPECT_NE(s.texto.find("[fbbsim] run: N0CALL-0 3 0 0 0 1\n"), std::string::npos);
    EXPECT_NE(s.texto.find("\n*** MISTAKEN IDENTITY - DENIED ACCESS!\n\n[fbbsim] exit 2: "
                           "disconnected\n"),
              std::string::npos)
        << s.texto;
}

TEST(FbbsimDialogo, LaEstacionQueSabeSuClaveResponde) {
    prueba::Raiz raiz;
    raiz.fbb_basico();
    raiz.config(prueba::config_basica("1 OPEN\n"));
    raiz.usuarios(
        "N0FIX\n1 FIXED Frase-de-paso\n-\n"
        "N0MD\n1 MD5 Clave2024\n-\n"
        "N0FLX\n1 FLEXNET 31415\n-\n"
        "N0TAB\n1 TABLE\n-\n");
    std::time_t ahora = std::time(nullptr);
    std::tm hoy{};
    localtime_r(&ahora, &hoy);
    std::string tabla;
    for (int d = 1; d <= 31; ++d) tabla += std::to_string(d) + " Dia" + std::to_string(d) + "x\n";
    raiz.escribe(prueba::Raiz::trabajo("N0TAB.TBL"), tabla);
    const std::string dia = "Dia" + std::to_string(hoy.tm_mday) + "x";
    struct Caso {
        const char* indicativo;
        std::string clave;
    } casos[] = {
        {"N0FIX", "Frase-de-paso"}, {"N0MD", "Clave2024"}, {"N0FLX", "31415"}, {"N0TAB", dia}};
    for (const auto& c : casos) {
        Salida s = fbbsim_corre(raiz.dir(), {"--talmir", TALMIR_BIN, "--dir", raiz.dir(),
                                             "--answer", c.clave, c.indicativo});
        EXPECT_EQ(s.codigo, 0) << s.texto;
        EXPECT_EQ(cuenta(s.texto, "[fbbsim] run:"), 2) << s.texto;
        EXPECT_NE(s.texto.find("[fbbsim] exit 0: let in\n"), std::string::npos) << s.texto;
    }
}

TEST(FbbsimDialogo, ForwardEntreDosRaices) {
    prueba::Raiz a, b;
    a.fbb_basico();
    b.fbb_basico();
    a.config(prueba::config_basica("1 OPEN\n"));
    b.config(prueba::config_basica("1 OPEN\n"));
    a.usuarios("N1BBS\n1 FORWARD5 clave99\n-\n");
    b.usuarios("N0BBS\n1 FORWARD5 clave99\n-\n");
    Salida s = fbbsim_corre(a.dir(), {"--talmir", TALMIR_BIN, "--forward", "N0BBS", "--dir",
                                      a.dir(), "--partner-dir", b.dir(), "N1BBS"});
    EXPECT_EQ(s.codigo, 0) << s.texto;
    std::size_t p = s.texto.find("[fbbsim] A -> B: ![");
    ASSERT_NE(p, std::string::npos) << s.texto;
    std::string digitos = s.texto.substr(p + 19, 10);
    std::string texto = digitos + "clave99";
    char hex[33];
    talmir::md5_hex(reinterpret_cast<const unsigned char*>(texto.data()), texto.size(), hex);
    EXPECT_NE(s.texto.find("[fbbsim] B -> A: " + std::string(hex) + "\n"), std::string::npos)
        << s.texto;
    EXPECT_NE(s.texto.find("[fbbsim] exit 0: let in\n"), std::string::npos);

    // B keeps another password: its digest is refused.
    b.usuarios("N0BBS\n1 FORWARD5 otra\n-\n");
    s = fbbsim_corre(a.dir(), {"--talmir", TALMIR_BIN, "--forward", "N0BBS", "--dir", a.dir(),
                               "--partner-dir", b.dir(), "N1BBS"});
    EXPECT_EQ(s.codigo, 2) << s.texto;
    EXPECT_NE(s.texto.find("*** MISTAKEN IDENTITY - DENIED ACCESS!"), std::string::npos);
}

}  // namespace
