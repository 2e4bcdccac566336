// SPDX-License-Identifier: GPL-2.0-or-later
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

#include "auth/md5c.h"
#include "entorno.h"
#include "sim/respuesta.h"

namespace {

std::vector<std::string> palabras(const char* linea, int* n_out = nullptr) {
    talmir::sim::Palabras w;
    int n = talmir::sim::trocea_linea(linea, &w);
    if (n_out != nullptr) *n_out = n;
    std::vector<std::string> v;
    for (int i = 0; i < w.n && n >= 0; ++i) v.push_back(w.p[i]);
    return v;
}

TEST(SimTrocea, LineasComoLasPartaElShellDeFbb) {
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

TEST(SimTrocea, CortaA80CaracteresYRechazaComillasAbiertas) {
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
    talmir::sim::Reto reto;
    std::string texto;
};

Respuesta responde(const std::string& salida, const char* password) {
    char r[400];
    talmir::sim::Reto t =
        talmir::sim::responde(salida.data(), salida.size(), password, resumen_visible, r, sizeof r);
    return {t, r};
}

TEST(SimResponde, CadaRetoConSuRespuesta) {
    const std::string id = prueba::id_linea();
    struct Caso {
        std::string salida;
        const char* password;
        talmir::sim::Reto reto;
        std::string texto;
    } casos[] = {
        // NORMAL after the identification line; positions may repeat.
        {id + "\nPASSWORD> 3 3 1 8 2\n", "Secreto7", talmir::sim::RETO_NORMAL, "ccS7e"},
        {id + "\nPASSWORD> 1 1 1 1 1\n", "x", talmir::sim::RETO_NORMAL, "xxxxx"},
        // TABLE's prompt and a prompt with blanks and digits of its own.
        {id + "\nPASSWORD_6> 5 4 3 2 1\n", "abcde", talmir::sim::RETO_NORMAL, "edcba"},
        {"\nKEY 12 > 2 2 2 2 2\n", "abc", talmir::sim::RETO_NORMAL, "bbbbb"},
        // A fresh challenge after a wrong answer, and a position beyond the password.
        {"\nPASSWORD> 10 300 1 2 3\n", "abcdefghij", talmir::sim::RETO_NORMAL, "j?abc"},
        // MD: the ten digits in brackets followed by the password are hashed.
        {id + "\nPASSWORD> 1 2 3 4 5 [0123456789]\n", "pw", talmir::sim::RETO_MD,
         "0123456789pw...................."},
        // FLEXNET: sum of digit products; a letter counts 0; zeros give "0".
        {id + "\nPASSWORD> 12345\n", "11111", talmir::sim::RETO_FLEXNET, "15"},
        {"\nPASSWORD> 99999\n", "99999", talmir::sim::RETO_FLEXNET, "405"},
        {"\nPASSWORD> 98765\n", "1a2b3", talmir::sim::RETO_FLEXNET, "38"},
        {"\nPASSWORD> 00000\n", "12345", talmir::sim::RETO_FLEXNET, "0"},
        // FIXED: the prompt line has no newline; the whole pass phrase.
        {id + "\nPASSWORD> ", "la frase", talmir::sim::RETO_FIJO, "la frase"},
        // Forward: "\n![%s]\n".
        {"\n![5550001112]\n", "clave", talmir::sim::RETO_FORWARD,
         "5550001112clave................."},
        // Nothing to answer.
        {"", "x", talmir::sim::RETO_NINGUNO, ""},
        {id, "x", talmir::sim::RETO_NINGUNO, ""},
        {id + "\nWelcome to the BBS\n", "x", talmir::sim::RETO_NINGUNO, ""},
        {"\nPASSWORD> 1 2 3 4\n", "x", talmir::sim::RETO_NINGUNO, ""},
        {"\n![12345]\n", "x", talmir::sim::RETO_NINGUNO, ""},
        {"\nPASSWORD> 1 2 3 4 5 [12345]\n", "x", talmir::sim::RETO_NINGUNO, ""},
    };
    for (const auto& c : casos) {
        Respuesta r = responde(c.salida, c.password);
        EXPECT_EQ(r.reto, c.reto) << c.salida;
        EXPECT_EQ(r.texto, c.texto) << c.salida;
    }
}

TEST(SimResponde, SinResumenElRetoMdLlevaLosCincoCaracteres) {
    char r[64];
    const std::string md = "\nPASSWORD> 3 1 4 1 5 [0123456789]\n";
    EXPECT_EQ(talmir::sim::responde(md.data(), md.size(), "secret", nullptr, r, sizeof r),
              talmir::sim::RETO_MD);
    EXPECT_STREQ(r, "csrse");
    // A forward line has no plain answer.
    const std::string fwd = "\n![0123456789]\n";
    EXPECT_EQ(talmir::sim::responde(fwd.data(), fwd.size(), "secret", nullptr, r, sizeof r),
              talmir::sim::RETO_NINGUNO);
    EXPECT_STREQ(r, "");
    // NORMAL and FLEXNET never need a digest.
    const std::string normal = "\nPASSWORD> 6 5 4 3 2\n";
    EXPECT_EQ(talmir::sim::responde(normal.data(), normal.size(), "secret", nullptr, r, sizeof r),
              talmir::sim::RETO_NORMAL);
    EXPECT_STREQ(r, "terce");
}

TEST(SimResponde, NuncaEscribeMasAllaDelEspacio) {
    char r[8];
    std::memset(r, '#', sizeof r);
    EXPECT_EQ(talmir::sim::responde("\nP> ", 4, "una frase larga", resumen_visible, r, 4),
              talmir::sim::RETO_NINGUNO);
    EXPECT_EQ(r[4], '#');
    EXPECT_EQ(talmir::sim::responde("\nP> 1 2 3 4 5\n", 14, "abcde", resumen_visible, r, 5),
              talmir::sim::RETO_NINGUNO);
    EXPECT_EQ(talmir::sim::responde("\n![0123456789]\n", 15, "k", resumen_visible, r, 8),
              talmir::sim::RETO_NINGUNO);
    EXPECT_EQ(r[5], '#');
}

// ---- talmir-sim as a program ----------------------------------------------

struct Salida {
    std::string texto;
    int codigo = -1;
};

// Runs a talmir-sim in the directory with the arguments, standard input /dev/null.
Salida sim_corre_programa(const std::string& programa, const std::string& dir,
                          const std::vector<std::string>& args) {
    Salida s;
    std::vector<std::string> linea = prueba::orden(programa, args);
    std::vector<char*> argv;
    for (auto& a : linea) argv.push_back(a.data());
    argv.push_back(nullptr);
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
        execv(argv[0], argv.data());
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

Salida sim_corre(const std::string& dir, const std::vector<std::string>& args) {
    return sim_corre_programa(TALMIR_SIM_BIN, dir, args);
}

// A whole file by its path, byte for byte.
std::string lee_archivo(const char* ruta) {
    std::string r;
    int fd = open(ruta, O_RDONLY);
    if (fd < 0) return r;
    char buf[65536];
    ssize_t n;
    while ((n = read(fd, buf, sizeof buf)) > 0 || (n < 0 && errno == EINTR))
        if (n > 0) r.append(buf, static_cast<std::size_t>(n));
    close(fd);
    return r;
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

TEST(SimPrograma, ArgumentosDeCadaEjecucionComoLosDaFbb) {
    prueba::Raiz raiz;
    escribe_eco(raiz);
    raiz.escribe("lineas", "  uno   dos ;tres\n\n");
    raiz.crea_dir("filtro");
    Salida s =
        sim_corre(raiz.dir(), {"--talmir", "eco.sh", "--dir", "filtro", "--port", "3", "--flags",
                               "8", "--new", "--record", "42", "--script", "lineas", "n0call"});
    EXPECT_EQ(s.codigo, 0) << s.texto;
    // First call: six arguments, no typed line.
    EXPECT_NE(
        s.texto.find("[talmir-sim] run: N0CALL-0 0 8 1 42 3\n<N0CALL-0>\n<0>\n<8>\n<1>\n<42>\n"
                     "<3>\n" +
                     raiz.ruta("filtro") + "\n"),
        std::string::npos)
        << s.texto;
    // The typed line in words, cut at ";"; the empty line gives no argument.
    EXPECT_NE(s.texto.find("<3>\n<uno>\n<dos>\n"), std::string::npos) << s.texto;
    EXPECT_NE(s.texto.find("[talmir-sim] run: N0CALL-0 2 8 1 42 3\n"), std::string::npos);
    EXPECT_EQ(cuenta(s.texto, "<tres>"), 0);
    EXPECT_EQ(cuenta(s.texto, "[talmir-sim] run:"), 3);
    EXPECT_NE(s.texto.find("[talmir-sim] exit 0: let in\n"), std::string::npos);
}

TEST(SimPrograma, FinDelGuionYComillaAbierta) {
    prueba::Raiz raiz;
    escribe_eco(raiz);
    raiz.escribe("una", "abcde\n");
    Salida s = sim_corre(raiz.dir(), {"--talmir", "eco.sh", "--script", "una", "N0CALL-1"});
    EXPECT_EQ(s.codigo, 1) << s.texto;
    EXPECT_NE(s.texto.find("the link is dropped"), std::string::npos) << s.texto;
    raiz.escribe("comilla", "it's me\n");
    s = sim_corre(raiz.dir(), {"--talmir", "eco.sh", "--script", "comilla", "N0CALL-1"});
    EXPECT_EQ(s.codigo, 2) << s.texto;
    EXPECT_EQ(cuenta(s.texto, "[talmir-sim] run:"), 1);
    // The --max bound ends a dialogue that never ends by itself.
    raiz.escribe("muchas", "a\na\na\na\n");
    s = sim_corre(raiz.dir(),
                  {"--talmir", "eco.sh", "--script", "muchas", "--max", "1", "N0CALL-1"});
    EXPECT_EQ(s.codigo, 1);
    EXPECT_EQ(cuenta(s.texto, "[talmir-sim] run:"), 1);
}

TEST(SimPrograma, LaRespuestaAUnPromptAbiertoQuedaEnSuLinea) {
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
        Salida s = sim_corre(raiz.dir(), args);
        EXPECT_EQ(s.codigo, 0) << s.texto;
        EXPECT_NE(s.texto.find(prompt + "Frase-de-paso\n[talmir-sim] run: N0FIX-0 1 0 0 0 5 "
                                        "Frase-de-paso\n"),
                  std::string::npos)
            << s.texto;
    }
    Salida s =
        sim_corre(raiz.dir(), {"--talmir", "eco.sh", "--port", "5", "--script", "nada", "N0FIX"});
    EXPECT_EQ(s.codigo, 1) << s.texto;
    EXPECT_NE(s.texto.find(prompt + "\n[talmir-sim] the station types nothing more"),
              std::string::npos)
        << s.texto;
}

TEST(SimPrograma, ForwardEntreDosBbsConArgumentosDeFbb) {
    prueba::Raiz raiz;
    escribe_eco(raiz);
    raiz.crea_dir("a");
    raiz.crea_dir("b");
    Salida s = sim_corre(raiz.dir(), {"--talmir", "eco.sh", "--forward", "n0bbs", "--dir", "a",
                                      "--partner-dir", "b", "--port", "7", "N1BBS-2"});
    EXPECT_EQ(s.codigo, 0) << s.texto;
    EXPECT_NE(s.texto.find("[talmir-sim] A run: N1BBS-2 0 16 0 0 7\n"), std::string::npos)
        << s.texto;
    EXPECT_NE(s.texto.find("[talmir-sim] A -> B: ![0123456789]\n"), std::string::npos);
    EXPECT_NE(s.texto.find("[talmir-sim] B run: N0BBS-0 0 16 -1 0 7 [0123456789]\n"),
              std::string::npos);
    EXPECT_NE(s.texto.find(raiz.ruta("b") + "\nDIGEST-[0123456789]\n"), std::string::npos);
    EXPECT_NE(s.texto.find("[talmir-sim] B -> A: DIGEST-[0123456789]\n"), std::string::npos);
    EXPECT_NE(s.texto.find("[talmir-sim] A run: N1BBS-2 1 16 0 0 7 DIGEST-[0123456789]\n"),
              std::string::npos);
    EXPECT_NE(s.texto.find("[talmir-sim] exit 0: let in\n"), std::string::npos);
}

// --challenge: the answer to one challenge line from the password given,
// nothing run; the digests agree with the program's own MD2 and MD5.
TEST(SimPrograma, RespuestaAUnRetoDesdeLaClave) {
    prueba::Raiz raiz;
    const std::string md = "PASSWORD> 3 1 4 1 5 [0123456789]";
    struct Caso {
        std::vector<std::string> args;
        int codigo;
        std::string salida;
    } casos[] = {
        // The example of the manual page: printf %s 0123456789secret | md5sum
        {{"--password", "secret", "--challenge", md}, 0, "735b8beedf7c8c4a101eae8635a26715\n"},
        {{"--password", "secret", "--digest", "md5", "--challenge", md},
         0,
         prueba::hex5("0123456789secret") + "\n"},
        {{"--password", "secret", "--digest", "md2", "--challenge", md},
         0,
         prueba::hex2("0123456789secret") + "\n"},
        {{"--password", "secret", "--digest", "plain", "--challenge", md}, 0, "csrse\n"},
        // --answer gives the password too; the identification line may come first.
        {{"--answer", "secret", "--digest", "MD2", "--challenge",
          prueba::id_linea() + "\nPASSWORD> 1 1 1 1 1 [9999999999]\n"},
         0,
         prueba::hex2("9999999999secret") + "\n"},
        {{"--password", "secret", "--challenge", "PASSWORD_6> 6 5 4 3 2"}, 0, "terce\n"},
        {{"--password", "12345", "--challenge", "PASSWORD> 40213"}, 0, "29\n"},
        {{"--password", "Reenvio22", "--digest", "md2", "--challenge", "![5550001112]"},
         0,
         prueba::hex2("5550001112Reenvio22") + "\n"},
        // Nothing a station could answer.
        {{"--password", "secret", "--challenge", "Welcome to the BBS"}, 1, ""},
        {{"--password", "secret", "--digest", "plain", "--challenge", "![5550001112]"}, 1, ""},
        {{"--password", "secret", "--challenge", "PASSWORD> 1 2 3 4"}, 1, ""},
    };
    for (const auto& c : casos) {
        Salida s = sim_corre(raiz.dir(), c.args);
        EXPECT_EQ(s.codigo, c.codigo) << c.args.back() << "\n" << s.texto;
        if (c.codigo == 0) {
            EXPECT_EQ(s.texto, c.salida) << c.args.back();
        } else {
            EXPECT_NE(s.texto.find("no challenge this station can answer"), std::string::npos)
                << s.texto;
        }
    }
}

// Installed, talmir-sim lies in bin and talmir in sbin: without --talmir it
// runs the one beside it, else the one in ../sbin.
TEST(SimPrograma, EncuentraTalmirInstalado) {
    prueba::Raiz raiz;
    escribe_eco(raiz);
    raiz.crea_dir("usr");
    raiz.crea_dir("usr/bin");
    raiz.crea_dir("usr/sbin");
    raiz.escribe("usr/bin/talmir-sim", lee_archivo(TALMIR_SIM_BIN));
    chmod(raiz.ruta("usr/bin/talmir-sim").c_str(), 0755);
    raiz.escribe("usr/sbin/talmir", raiz.lee("eco.sh"));
    chmod(raiz.ruta("usr/sbin/talmir").c_str(), 0755);
    raiz.escribe("una", "abcde\n");
    Salida s = sim_corre_programa(raiz.ruta("usr/bin/talmir-sim"), raiz.dir(),
                                  {"--script", "una", "--max", "1", "N0CALL-1"});
    EXPECT_EQ(s.codigo, 1) << s.texto;
    EXPECT_NE(s.texto.find("[talmir-sim] run: N0CALL-1 0 0 0 0 1\n<N0CALL-1>\n"), std::string::npos)
        << s.texto;
    // One beside it comes first.
    raiz.escribe("usr/bin/talmir", "#!/bin/sh\necho beside\nexit 0\n");
    chmod(raiz.ruta("usr/bin/talmir").c_str(), 0755);
    s = sim_corre_programa(raiz.ruta("usr/bin/talmir-sim"), raiz.dir(), {"N0CALL-1"});
    EXPECT_EQ(s.codigo, 0) << s.texto;
    EXPECT_NE(s.texto.find("\nbeside\n[talmir-sim] exit 0: let in\n"), std::string::npos)
        << s.texto;
}

TEST(SimPrograma, ErroresDeUso) {
    prueba::Raiz raiz;
    for (const auto& args : std::vector<std::vector<std::string>>{
             {},
             {"--port", "100", "N0CALL-0"},
             {"--flags", "x", "N0CALL-0"},
             {"--bogus", "N0CALL-0"},
             {"--talmir", "no-such-program", "N0CALL-0"},
             {"--talmir", TALMIR_BIN_LANZABLE, "--dir", "no-such-dir", "N0CALL-0"},
             {"--talmir", TALMIR_BIN_LANZABLE, "--forward", "N0BBS", "N1BBS"},
             {"--talmir", TALMIR_BIN_LANZABLE, "--answer", "x", "--script", "y", "N0CALL-0"},
             {"--talmir", TALMIR_BIN_LANZABLE, "--answer", "x", "--password", "y", "N0CALL-0"},
             {"--talmir", TALMIR_BIN_LANZABLE, "--digest", "sha1", "--answer", "x", "N0CALL-0"},
             {"--talmir", TALMIR_BIN_LANZABLE, "--forward", "N0BBS", "--dir", ".", "--partner-dir",
              ".", "--password", "x", "N1BBS"},
             {"--challenge", "PASSWORD> 1 2 3 4 5"},
             {"--password", "x", "--challenge", "PASSWORD> 1 2 3 4 5", "N0CALL-0"},
             {"--password", "x", "--challenge"},
         }) {
        Salida s = sim_corre(raiz.dir(), args);
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

TEST(SimDialogo, NormalConLaClaveEntra) {
    prueba::Raiz raiz;
    estacion_normal(raiz);
    Salida s = sim_corre(raiz.dir(), {"--talmir", TALMIR_BIN_LANZABLE, "--dir", raiz.dir(),
                                      "--port", "1", "--answer", "Secreto7", "N0CALL-0"});
    EXPECT_EQ(s.codigo, 0) << s.texto;
    EXPECT_NE(s.texto.find(prueba::id_linea() + "\nPASSWORD> "), std::string::npos) << s.texto;
    std::string esperado = pedidos(s.texto, 0, "Secreto7");
    ASSERT_EQ(esperado.size(), 5u) << s.texto;
    std::size_t linea = s.texto.find('\n', s.texto.find("PASSWORD> "));
    EXPECT_EQ(s.texto.substr(linea + 1, 6), esperado + "\n") << s.texto;
    EXPECT_NE(s.texto.find("[talmir-sim] run: N0CALL-0 1 0 0 0 1 " + esperado + "\n"),
              std::string::npos);
    EXPECT_NE(s.texto.find("[talmir-sim] exit 0: let in\n"), std::string::npos);
    EXPECT_FALSE(raiz.existe(prueba::Raiz::trabajo("N0CALL0.tmp")));
}

TEST(SimDialogo, RespuestasFalsasHastaLaDesconexion) {
    prueba::Raiz raiz;
    estacion_normal(raiz);
    raiz.escribe("falsas", "zzzzz\nzz zzz\n\n");
    Salida s = sim_corre(raiz.dir(), {"--talmir", TALMIR_BIN_LANZABLE, "--dir", raiz.dir(),
                                      "--script", raiz.ruta("falsas"), "N0CALL-0"});
    EXPECT_EQ(s.codigo, 2) << s.texto;
    EXPECT_EQ(cuenta(s.texto, "\nPASSWORD> "), 3) << s.texto;
    EXPECT_EQ(cuenta(s.texto, "[talmir-sim] run:"), 4);
    EXPECT_NE(s.texto.find("[talmir-sim] run: N0CALL-0 2 0 0 0 1 zz zzz\n"), std::string::npos);
    EXPECT_NE(s.texto.find("[talmir-sim] run: N0CALL-0 3 0 0 0 1\n"), std::string::npos);
    EXPECT_NE(s.texto.find("\n*** MISTAKEN IDENTITY - DENIED ACCESS!\n\n[talmir-sim] exit 2: "
                           "disconnected\n"),
              std::string::npos)
        << s.texto;
}

// Shell syntax typed into the simulator reaches talmir as words, as a
// quoting FBB passes them: a wrong answer like any other, nothing reported.
TEST(SimDialogo, SintaxisDelShellEsUnaRespuestaMas) {
    prueba::Raiz raiz;
    estacion_normal(raiz);
    raiz.escribe("shell", "x|true\n$(true) `id`\nx >y &\n");
    Salida s = sim_corre(raiz.dir(), {"--talmir", TALMIR_BIN_LANZABLE, "--dir", raiz.dir(),
                                      "--script", raiz.ruta("shell"), "N0CALL-0"});
    EXPECT_EQ(s.codigo, 2) << s.texto;
    EXPECT_EQ(cuenta(s.texto, "\nPASSWORD> "), 3) << s.texto;
    EXPECT_NE(s.texto.find("[talmir-sim] run: N0CALL-0 1 0 0 0 1 x|true\n"), std::string::npos);
    EXPECT_FALSE(raiz.existe(prueba::Raiz::trabajo("error.prt")));
    EXPECT_FALSE(raiz.existe(prueba::Raiz::trabajo("error14.tmp")));
}

TEST(SimDialogo, LaEstacionQueSabeSuClaveResponde) {
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
        Salida s = sim_corre(raiz.dir(), {"--talmir", TALMIR_BIN_LANZABLE, "--dir", raiz.dir(),
                                          "--answer", c.clave, c.indicativo});
        EXPECT_EQ(s.codigo, 0) << s.texto;
        EXPECT_EQ(cuenta(s.texto, "[talmir-sim] run:"), 2) << s.texto;
        EXPECT_NE(s.texto.find("[talmir-sim] exit 0: let in\n"), std::string::npos) << s.texto;
    }
}

// The ten digits of the MD challenge that follows the text's position p.
std::string digitos_md(const std::string& texto, std::size_t p = 0) {
    std::size_t a = texto.find("PASSWORD> ", p);
    if (a == std::string::npos) return "";
    a = texto.find('[', a);
    if (a == std::string::npos || a + 11 >= texto.size() || texto[a + 11] != ']') return "";
    return texto.substr(a + 1, 10);
}

void estacion_md(const prueba::Raiz& raiz) {
    raiz.fbb_basico();
    raiz.config(prueba::config_basica("1 OPEN\n"));
    raiz.usuarios("N0MD\n1 MD5 Clave2024\n-\n");
}

// --answer with --digest: the station answers the MD challenge with the MD2
// or the MD5 digest computed from the password, or with the five characters.
TEST(SimDialogo, MdConElResumenElegido) {
    prueba::Raiz raiz;
    estacion_md(raiz);
    for (const char* resumen : {"md5", "md2", "plain"}) {
        Salida s = sim_corre(raiz.dir(), {"--talmir", TALMIR_BIN_LANZABLE, "--dir", raiz.dir(),
                                          "--answer", "Clave2024", "--digest", resumen, "N0MD"});
        EXPECT_EQ(s.codigo, 0) << resumen << "\n" << s.texto;
        std::string d = digitos_md(s.texto);
        ASSERT_EQ(d.size(), 10u) << s.texto;
        std::string esperado = std::string(resumen) == "md5"   ? prueba::hex5(d + "Clave2024")
                               : std::string(resumen) == "md2" ? prueba::hex2(d + "Clave2024")
                                                               : "";
        if (esperado.empty()) {
            // Five characters of Clave2024, none of them a digest.
            std::size_t p = s.texto.find("[talmir-sim] run: N0MD-0 1 0 0 0 1 ");
            ASSERT_NE(p, std::string::npos) << s.texto;
            EXPECT_EQ(s.texto.find('\n', p) - p,
                      std::strlen("[talmir-sim] run: N0MD-0 1 0 0 0 1 ") + 5)
                << s.texto;
        } else {
            EXPECT_NE(s.texto.find("[talmir-sim] run: N0MD-0 1 0 0 0 1 " + esperado + "\n"),
                      std::string::npos)
                << s.texto;
        }
        EXPECT_NE(s.texto.find("[talmir-sim] exit 0: let in\n"), std::string::npos) << s.texto;
    }
    // With the option N the plain characters are refused; the digest still passes.
    raiz.config(prueba::config_basica("1 OPEN\n", "1 C N"));
    Salida s = sim_corre(raiz.dir(), {"--talmir", TALMIR_BIN_LANZABLE, "--dir", raiz.dir(),
                                      "--answer", "Clave2024", "--digest", "plain", "N0MD"});
    EXPECT_EQ(s.codigo, 2) << s.texto;
    s = sim_corre(raiz.dir(), {"--talmir", TALMIR_BIN_LANZABLE, "--dir", raiz.dir(), "--answer",
                               "Clave2024", "--digest", "md2", "N0MD"});
    EXPECT_EQ(s.codigo, 0) << s.texto;
}

// --password: the sysop types, sees the answers the password gives, and a
// line {md5}, {md2} or {plain} sends one of them.
TEST(SimDialogo, ClaveEnLaLineaDeOrdenesParaQuienTeclea) {
    prueba::Raiz raiz;
    estacion_md(raiz);
    raiz.escribe("guion", "xxxxx\n{md2}\n");
    Salida s =
        sim_corre(raiz.dir(), {"--talmir", TALMIR_BIN_LANZABLE, "--dir", raiz.dir(), "--password",
                               "Clave2024", "--script", raiz.ruta("guion"), "N0MD"});
    EXPECT_EQ(s.codigo, 0) << s.texto;
    // The first challenge, a wrong answer typed as it is, then a fresh challenge.
    std::string d1 = digitos_md(s.texto);
    ASSERT_EQ(d1.size(), 10u) << s.texto;
    EXPECT_NE(s.texto.find("[talmir-sim] with the password: "), std::string::npos) << s.texto;
    EXPECT_NE(s.texto.find(", or MD5 " + prueba::hex5(d1 + "Clave2024") + ", or MD2 " +
                           prueba::hex2(d1 + "Clave2024") + "\n"),
              std::string::npos)
        << s.texto;
    EXPECT_NE(s.texto.find("[talmir-sim] run: N0MD-0 1 0 0 0 1 xxxxx\n"), std::string::npos);
    std::size_t p = s.texto.find("[talmir-sim] run: N0MD-0 1 ");
    std::string d2 = digitos_md(s.texto, p);
    ASSERT_EQ(d2.size(), 10u) << s.texto;
    const std::string md2 = prueba::hex2(d2 + "Clave2024");
    EXPECT_NE(s.texto.find("\n" + md2 + "\n[talmir-sim] run: N0MD-0 2 0 0 0 1 " + md2 + "\n"),
              std::string::npos)
        << s.texto;
    EXPECT_NE(s.texto.find("[talmir-sim] exit 0: let in\n"), std::string::npos);

    // {plain} sends the five characters; without --password the line goes as typed.
    raiz.escribe("guion", "{plain}\n");
    s = sim_corre(raiz.dir(), {"--talmir", TALMIR_BIN_LANZABLE, "--dir", raiz.dir(), "--password",
                               "Clave2024", "--script", raiz.ruta("guion"), "N0MD"});
    EXPECT_EQ(s.codigo, 0) << s.texto;
    s = sim_corre(raiz.dir(), {"--talmir", TALMIR_BIN_LANZABLE, "--dir", raiz.dir(), "--script",
                               raiz.ruta("guion"), "--max", "2", "N0MD"});
    EXPECT_NE(s.texto.find("[talmir-sim] run: N0MD-0 1 0 0 0 1 {plain}\n"), std::string::npos)
        << s.texto;
    EXPECT_EQ(s.texto.find("[talmir-sim] with the password"), std::string::npos);
}

TEST(SimDialogo, ForwardEntreDosRaices) {
    prueba::Raiz a, b;
    a.fbb_basico();
    b.fbb_basico();
    a.config(prueba::config_basica("1 OPEN\n"));
    b.config(prueba::config_basica("1 OPEN\n"));
    a.usuarios("N1BBS\n1 FORWARD5 clave99\n-\n");
    b.usuarios("N0BBS\n1 FORWARD5 clave99\n-\n");
    Salida s = sim_corre(a.dir(), {"--talmir", TALMIR_BIN_LANZABLE, "--forward", "N0BBS", "--dir",
                                   a.dir(), "--partner-dir", b.dir(), "N1BBS"});
    EXPECT_EQ(s.codigo, 0) << s.texto;
    std::size_t p = s.texto.find("[talmir-sim] A -> B: ![");
    ASSERT_NE(p, std::string::npos) << s.texto;
    std::string digitos = s.texto.substr(p + std::strlen("[talmir-sim] A -> B: !["), 10);
    std::string texto = digitos + "clave99";
    char hex[33];
    talmir::md5_hex(reinterpret_cast<const unsigned char*>(texto.data()), texto.size(), hex);
    EXPECT_NE(s.texto.find("[talmir-sim] B -> A: " + std::string(hex) + "\n"), std::string::npos)
        << s.texto;
    EXPECT_NE(s.texto.find("[talmir-sim] exit 0: let in\n"), std::string::npos);

    // B keeps another password: its digest is refused.
    b.usuarios("N0BBS\n1 FORWARD5 otra\n-\n");
    s = sim_corre(a.dir(), {"--talmir", TALMIR_BIN_LANZABLE, "--forward", "N0BBS", "--dir", a.dir(),
                            "--partner-dir", b.dir(), "N1BBS"});
    EXPECT_EQ(s.codigo, 2) << s.texto;
    EXPECT_NE(s.texto.find("*** MISTAKEN IDENTITY - DENIED ACCESS!"), std::string::npos);
}

}  // namespace
