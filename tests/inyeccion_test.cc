// SPDX-License-Identifier: GPL-2.0-or-later
// A station's line that FBB's shell ran as shell syntax: recognised from the
// command of the parent shell, refused, reported and mailed; the same words
// quoted (as a patched FBB passes them), or run by anything but FBB's
// command, are no injection.
#include "driver/inyeccion.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "entorno.h"

namespace {

using prueba::Raiz;

// FBB's command for a station's answer, as call_nbdos builds it.
std::string orden(const std::string& linea) {
    return "cd /usr/lib/fbb/filter/ ; ./c_filter N0CALL-0 1 3616 1 0 1 " + linea +
           "  </dev/null >/var/ax25/fbb/binmail/EXECUTE.xxx";
}

struct Caso {
    std::string orden;
    bool tuberia;
    int esperado;
    std::string texto;  // the station's part, when injected
};

TEST(Inyeccion, OrdenDeFbb) {
    const std::vector<Caso> casos = {
        // What runs or redirects something.
        {orden("$(touch /tmp/x)"), false, 1, "$(touch /tmp/x)"},
        {orden("`touch /tmp/x`"), false, 1, "`touch /tmp/x`"},
        {orden("x|true"), true, 1, "x|true"},
        {orden("x | touch /tmp/x"), true, 1, "x | touch /tmp/x"},
        {orden("x || true"), true, 1, "x || true"},
        {orden("x && true"), false, 1, "x && true"},
        {orden("x & y"), false, 1, "x & y"},
        {orden("x >/etc/passwd"), false, 1, "x >/etc/passwd"},
        {orden("x </etc/shadow"), false, 1, "x </etc/shadow"},
        {orden("x </dev/null >y"), false, 1, "x </dev/null >y"},
        {orden("\"$(id)\""), false, 1, "\"$(id)\""},
        {orden("\"`id`\""), false, 1, "\"`id`\""},
        {orden("a$((1+1))"), false, 1, "a$((1+1))"},
        // A pipe on the output is the station's, whatever the words.
        {orden("abcde"), true, 1, "abcde"},
        // Words the shell only changes, and answers.
        {orden("xx abcde yy"), false, 0, ""},
        {orden("a*b ?c ~ $HOME [0123456789]"), false, 0, ""},
        {orden("\"a|b\" 'c&d' e\\|f"), false, 0, ""},
        {orden(""), false, 0, ""},
        // A patched FBB quotes every word.
        {orden("'x|true'"), false, 0, ""},
        {orden("'$(touch /tmp/x)' '`id`'"), false, 0, ""},
        {orden("'it'\\''s' '>x'"), false, 0, ""},
        // Not FBB's command.
        {"ls -l | wc", true, 0, ""},
        {"cd /f ; ./talmir N0CALL-0 1 3616 1 0 1 x|true </dev/null >/b/EXECUTE.xxx", true, 0, ""},
        {"cd /f ; ./c_filter N0CALL-0 1 3616 x|true", true, 0, ""},
        {"cd /f ; ./c_filter N0CALL-0 1 3616 1 0 1 x|true </dev/null >/b/out.txt", true, 0, ""},
        {"cd /f ; ./c_filter N0CALL-0 1 3616 1 0 1 x|true >/b/EXECUTE.xxx", true, 0, ""},
    };
    for (const Caso& c : casos) {
        char texto[talmir::INYECCION_MAX] = "unchanged";
        EXPECT_EQ(talmir::analiza_orden_fbb(c.orden.data(), c.orden.size(), c.tuberia, texto,
                                            sizeof texto),
                  c.esperado)
            << c.orden;
        if (c.esperado == 1) {
            EXPECT_EQ(texto, c.texto) << c.orden;
        }
    }
}

TEST(Inyeccion, ElTextoSeCortaASuSitio) {
    const std::string o = orden("$(" + std::string(200, 'a') + ")");
    char texto[talmir::INYECCION_MAX];
    ASSERT_EQ(talmir::analiza_orden_fbb(o.data(), o.size(), false, texto, sizeof texto), 1);
    EXPECT_EQ(std::string(texto), ("$(" + std::string(200, 'a')).substr(0, sizeof texto - 1));
}

// The program as FBB runs it: through /bin/sh, with FBB's command, from the
// filter directory (the root) where c_filter is a link to the program.
class PorElShell : public ::testing::Test {
   protected:
    void SetUp() override {
        raiz.fbb_basico();
        raiz.crea_dir("var/ax25/fbb/mail");
        raiz.config(prueba::config_basica(
            "1 OPEN\n", "3", {"NO", "NO", "NO", "NO", "NO", "NO", "NO", "NO", "NO", "OK"}));
        raiz.usuarios("N0CALL\n1 NORMAL Secreto7\n-\n");
        ASSERT_EQ(symlink(TALMIR_BIN_LANZABLE, raiz.ruta("c_filter").c_str()), 0);
        ASSERT_EQ(prueba::estacion(raiz, "N0CALL-0", 0, 0, 0, 1).codigo, 1);
        ASSERT_TRUE(raiz.existe(Raiz::trabajo("N0CALL0.tmp")));
    }
    // The answer typed as the line, and what FBB would send (EXECUTE.xxx).
    prueba::Resultado responde(const std::string& linea) {
        const std::string o = "cd " + raiz.dir() + " ; ./c_filter N0CALL-0 1 0 0 0 1 " + linea +
                              "  </dev/null >" + raiz.ruta("EXECUTE.xxx");
        prueba::Arranque a;
        a.programa = "/bin/sh";
        prueba::Resultado r = prueba::ejecuta(raiz, {"-c", o}, a);
        r.salida = raiz.existe("EXECUTE.xxx") ? raiz.lee("EXECUTE.xxx") : "";
        return r;
    }
    std::string error_prt() const { return raiz.lee(Raiz::trabajo("error.prt")); }
    std::string importado() const {
        return raiz.existe(Raiz::mail_in()) ? raiz.lee(Raiz::mail_in()) : "";
    }
    Raiz raiz;
};

TEST_F(PorElShell, SustitucionRechazadaInformadaYCorreo) {
    prueba::Resultado r = responde("$(true)");
    EXPECT_EQ(r.codigo, 2);
    EXPECT_EQ(r.salida, "\n*** MISTAKEN IDENTITY - DENIED ACCESS!\n\n");
    EXPECT_FALSE(raiz.existe(Raiz::trabajo("N0CALL0.tmp")));
    const std::string linea =
        "*** ERROR 00114: Shell syntax in the station's line, run by FBB's shell before talmir: "
        "$(true)";
    EXPECT_NE(error_prt().find("Connected callsign: N0CALL-0 / Port: 1\n" + linea + "\n"),
              std::string::npos)
        << error_prt();
    const std::string correo = importado();
    EXPECT_EQ(prueba::cuenta(correo, linea), 2u) << correo;
    EXPECT_EQ(prueba::cuenta(correo, "SP N0SYS < TALMIR\nERROR detected!\n"), 1u) << correo;
    EXPECT_EQ(prueba::cuenta(correo, "SP N1SYS < TALMIR\nERROR detected!\n"), 1u) << correo;
    EXPECT_TRUE(raiz.existe(Raiz::trabajo("error14.tmp")));
    EXPECT_NE(raiz.lee(Raiz::trabajo("lognopas.prt")).find("N0CALL-0"), std::string::npos);
}

TEST_F(PorElShell, TuberiaRechazadaUnCorreoPorMarca) {
    // The pipeline's status is that of "true": FBB would read 0. The run
    // leaves no challenge to answer and reports before it writes.
    prueba::Resultado r = responde("x|true");
    EXPECT_EQ(r.codigo, 0);
    EXPECT_FALSE(raiz.existe(Raiz::trabajo("N0CALL0.tmp")));
    EXPECT_NE(error_prt().find("before talmir: x|true\n"), std::string::npos) << error_prt();
    EXPECT_EQ(prueba::cuenta(importado(), "x|true"), 2u);

    // Again: the report is rewritten, the marker stands, no second mail.
    ASSERT_EQ(prueba::estacion(raiz, "N0CALL-0", 0, 0, 0, 1).codigo, 1);
    responde("y|true");
    EXPECT_NE(error_prt().find("before talmir: y|true\n"), std::string::npos) << error_prt();
    EXPECT_EQ(prueba::cuenta(importado(), "y|true"), 0u);
    EXPECT_FALSE(raiz.existe(Raiz::trabajo("N0CALL0.tmp")));
}

TEST_F(PorElShell, EnUnPuertoGuardadoBloqueaDeInmediato) {
    // On a guarded port an injected line is all the failures at once: an
    // unpatched FBB gives the callsign no second try.
    raiz.escribe(Raiz::trabajo("bloqueo.prt"), "1 3 15 60\n");
    EXPECT_EQ(responde("$(true)").codigo, 2);
    prueba::Resultado r = prueba::estacion(raiz, "N0CALL-5", 0, 0, 0, 1);
    EXPECT_EQ(r.codigo, 2);
    EXPECT_EQ(r.salida, prueba::id_linea());
    const std::string correo = importado();
    EXPECT_EQ(prueba::cuenta(correo, "\nLockout: N0CALL on port 1\n"), 2u) << correo;
    EXPECT_EQ(prueba::cuenta(correo, "run by FBB's shell, which counts as 3 failures"), 2u);
}

TEST_F(PorElShell, PalabrasCitadasComoLasPasaUnFbbParcheado) {
    // The words of a wrong answer, quoted: a fresh challenge, nothing reported.
    prueba::Resultado r = responde("'x|true' '$(true)'");
    EXPECT_EQ(r.codigo, 1);
    EXPECT_NE(r.salida.find("PASSWORD> "), std::string::npos) << r.salida;
    EXPECT_FALSE(raiz.existe(Raiz::trabajo("error.prt")));
    EXPECT_EQ(importado(), "");
}

TEST_F(PorElShell, RespuestaEntrePalabrasSinSintaxis) {
    // Wrong, but harmless: the verification judges it as ever.
    prueba::Resultado r = responde("xx zzzzz yy");
    EXPECT_EQ(r.codigo, 1);
    EXPECT_FALSE(raiz.existe(Raiz::trabajo("error.prt")));
}

}  // namespace
