// SPDX-License-Identifier: GPL-2.0-or-later
// Two real FBBs (xfbbd of the Debian package fbb) forwarding private mail to
// each other over telnet on 127.0.0.1, each with the tests' talmir as its
// connection filter and the other named in its users.prt as a forward
// partner: N0BBS (sysop N0SYS) and N2BBS (sysop N2SYS). The sysop of one
// sends a message for a user of the other and starts FBB's forward at once
// with FW, or FBB calls by itself at its forward time; the called BBS's
// talmir challenges the caller with ![digits], the caller's talmir answers in
// a forward run, and the message arrives, or, with passwords that do not
// agree, the caller is refused and the message stays.
//
// Run times: about 6 s a message and its reply, 7.5 s the refusals, 60 to
// 120 s the forward time (two changes of the minute).
// Each scenario runs under the installed xfbbd (Original) and the patched FBB
// of platform/fbb (Parcheado, skipped without TALMIR_FBB_PARCHEADO).
#include <gtest/gtest.h>

#include <chrono>
#include <iterator>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "fbb_real.h"

namespace {

using e2e::Bbs;
using e2e::espera;
using e2e::Estacion;
using e2e::prompt;

enum class Fbb { Original, Parcheado };

std::string nombre(Fbb f) {
    return f == Fbb::Original ? "Original" : "Parcheado";
}

void PrintTo(Fbb f, std::ostream* os) {
    *os << nombre(f);
}

// A forward mode of users.prt and the digest its caller answers with.
struct ModoForward {
    const char* palabra;  // FORWARD, FORWARD5
    std::string (*resumen)(const std::string&);
};

const ModoForward kForward = {"FORWARD", e2e::md2_hex};
const ModoForward kForward5 = {"FORWARD5", e2e::md5_hex};

// The modes N0BBS and N2BBS keep for each other.
struct Modos {
    const char* nombre;
    ModoForward a, b;
};

const Modos kModos[] = {
    {"FORWARD", kForward, kForward},
    {"FORWARD5", kForward5, kForward5},
    // Each answers in its own digest; the called side takes either.
    {"FORWARDYFORWARD5", kForward, kForward5},
};

void PrintTo(const Modos& m, std::ostream* os) {
    *os << m.nombre;
}

// config.prt: built-in English texts, the BBS's sysop, three answers, the
// introduction text on (the partner gets it after its right answer, as any
// station, and FBB's forward goes on), only the failed-password log
// (logfall) on, port 1 open.
std::string config_prt(const std::string& sysop) {
    return "**\n" + sysop +
           "\n3\nPASSWORD>\n"
           "NO\nNO\nNO\nNO\nOK\nNO\nNO\n"  // txtlang ... msgnewusr
           "NO\nNO\n"                      // logtotal logexc
           "OK\n"                          // logfall
           "1  OPEN\n";
}

// users.prt: the partner BBS and the password this BBS keeps for it.
std::string users_prt(const std::string& socio, const ModoForward& m, const std::string& clave) {
    return "# The partner BBS, forwarding over telnet.\n" + socio + "\nALL  " + m.palabra + "  " +
           clave + "\n-\n";
}

// A message in FBB's list (L): its number and its status letters.
struct Listado {
    std::string numero, estado;
};

// The messages from `de` to `para` in the answer to L.
std::vector<Listado> mensajes(const std::string& lista, const std::string& para,
                              const std::string& de) {
    // "101    PFL     43 N2USR @N2BBS  N0SYS  1209/1905 Hola de N0BBS"
    std::regex linea("(\\d+) +(P\\S*) +\\d+ " + para + " +(?:\\S+ +)?" + de + " +\\d{4}/\\d{4} ");
    std::vector<Listado> r;
    for (std::sregex_iterator i(lista.begin(), lista.end(), linea), fin; i != fin; ++i)
        r.push_back({(*i)[1].str(), (*i)[2].str()});
    return r;
}

// A sysop's session at a BBS's prompt.
class Sysop {
   public:
    Sysop(const Bbs& bbs, const std::string& indicativo) : bbs_(bbs.indicativo()) {
        entro_ = e_.entra(bbs.puerto(), indicativo) && !prompt(e_, bbs_).empty();
    }
    bool entro() const { return entro_; }
    Estacion& estacion() { return e_; }

    // A command and FBB's answer up to the next prompt.
    std::string orden(const std::string& linea) {
        e_.envia(linea);
        return prompt(e_, bbs_);
    }

    // SP: a private message for `para` @ `bbs`, with its title and lines.
    // Empty when FBB took it, else what FBB said.
    std::string envia_privado(const std::string& para, const std::string& bbs,
                              const std::string& titulo, const std::vector<std::string>& lineas) {
        e_.envia("SP " + para + " @ " + bbs);
        if (e_.hasta("Enter the title").empty()) return "no title question: " + e_.resto();
        e_.envia(titulo);
        if (e_.hasta("Enter the text").empty()) return "no text question: " + e_.resto();
        for (const auto& l : lineas) e_.envia(l);
        e_.envia("/EX");
        if (prompt(e_, bbs_).empty()) return "no prompt after /EX: " + e_.resto();
        return "";
    }

    // Waits up to `ms` for a message from `de` to `para` in L.
    std::vector<Listado> espera_mensaje(const std::string& para, const std::string& de, int ms) {
        std::vector<Listado> r;
        espera(
            [&] {
                r = mensajes(orden("L"), para, de);
                return !r.empty();
            },
            ms);
        return r;
    }

    void sale() {
        e_.envia("B");
        e_.cierre(5000);
    }

   private:
    Estacion e_;
    std::string bbs_;
    bool entro_ = false;
};

// The filter's runs for `indicativo` from a BBS's log: those of the
// partner's calls (`forward` false) or the forward runs of this BBS's own
// calls to it (new-user flag -1, `forward` true).
std::vector<std::string> llamadas_de(const Bbs& bbs, const std::string& indicativo,
                                     bool forward = false) {
    std::vector<std::string> r;
    for (const auto& l : bbs.llamadas_filtro()) {
        std::istringstream palabras(l);
        std::string id, nivel, banderas, nuevo;
        palabras >> id >> nivel >> banderas >> nuevo;
        if (id.rfind(indicativo + "-", 0) == 0 && (nuevo == "-1") == forward) r.push_back(l);
    }
    return r;
}

std::string une(const std::vector<std::string>& v) {
    std::string r;
    for (const auto& s : v) r += "  " + s + "\n";
    return r;
}

// The text of a message as R shows it, from its first line to FBB's end
// line "--- End of message#: ...".
std::string cuerpo(const std::string& leido) {
    std::size_t fin = leido.find("--- End of message");
    return fin == std::string::npos ? "<no end of message in: " + leido + ">"
                                    : leido.substr(0, fin);
}

class FbbForward : public ::testing::Test {
   protected:
    void elige(Fbb f) {
        fbb_ = f;
        std::string falta = f == Fbb::Original ? e2e::falta_fbb() : e2e::falta_fbb_parcheado();
        if (!falta.empty()) GTEST_SKIP() << falta;
        RecordProperty("red", e2e::red());
        RecordProperty("fbb", nombre(f));
    }

    // A scratch BBS of this FBB whose new users get FBB's sysop flag and
    // whose sysops get FW, so that its sysop can start the forward at once.
    std::unique_ptr<Bbs> bbs(const std::string& indicativo, const std::string& sysop,
                             const std::string& hora_forward = "00/60") const {
        Bbs::Opciones o;
        o.hora_forward = hora_forward;
        if (fbb_ == Fbb::Parcheado) o.raiz_fbb = e2e::raiz_parcheado();
        o.indicativo = indicativo;
        o.sysop = sysop;
        o.fbb_conf_extra = {"mask = 3624", "security = 0 59 59"};
        return std::make_unique<Bbs>(o);
    }

    // N0BBS and N2BBS, each the other's forward partner, with the password
    // each keeps for the other, started. `hora_a`: N0BBS's forward time;
    // `correo_a`: mail waiting in N0BBS's import file when it starts.
    void arranca_par(const Modos& m, const std::string& clave_a, const std::string& clave_b,
                     const std::string& hora_a = "00/60", const std::string& correo_a = "") {
        a_ = bbs("N0BBS", "N0SYS", hora_a);
        b_ = bbs("N2BBS", "N2SYS");
        ASSERT_EQ(a_->fallo(), "");
        ASSERT_EQ(b_->fallo(), "");
        a_->socio_forward("N2BBS", b_->puerto());
        b_->socio_forward("N0BBS", a_->puerto());
        a_->talmir("intro.prt", "Welcome to N0BBS, behind talmir.\nMail for N0 only.\n");
        b_->talmir("intro.prt", "Welcome to N2BBS, behind talmir.\nMail for N2 only.\n");
        a_->talmir("config.prt", config_prt("N0SYS"));
        b_->talmir("config.prt", config_prt("N2SYS"));
        a_->talmir("users.prt", users_prt("N2BBS", m.a, clave_a));
        b_->talmir("users.prt", users_prt("N0BBS", m.b, clave_b));
        if (!correo_a.empty()) a_->escribe("var/ax25/fbb/mail/mail.in", correo_a);
        ASSERT_EQ(a_->arranca(), "") << "network: " << e2e::red();
        ASSERT_EQ(b_->arranca(), "") << "network: " << e2e::red();
    }

    Fbb fbb_ = Fbb::Original;
    std::unique_ptr<Bbs> a_, b_;
};

class FbbForwardPar : public FbbForward,
                      public ::testing::WithParamInterface<std::tuple<Fbb, Modos>> {
   protected:
    void SetUp() override { elige(std::get<0>(GetParam())); }
};

class FbbForwardMal : public FbbForward, public ::testing::WithParamInterface<Fbb> {
   protected:
    void SetUp() override { elige(GetParam()); }
};

// The three runs of the filter that let `llamante` into `llamado` (level 0
// the challenge, level 1 the digest) and answer the challenge at the caller
// (a forward run): the digest is that of the challenge's digits and `clave`.
void comprueba_autenticacion(const Bbs& llamante, const Bbs& llamado, const ModoForward& m,
                             const std::string& clave, const std::string& salida_nivel1) {
    std::vector<std::string> reto = llamadas_de(llamado, llamante.indicativo());
    std::vector<std::string> respuesta = llamadas_de(llamante, llamado.indicativo(), true);
    static const std::regex r_reto(R"(\S+ 0 \d+ [01] \d+ 1 => 1)");
    static const std::regex r_nivel1(R"(\S+ 1 \d+ [01] \d+ 1 ([0-9a-f]{32}) => (\d+))");
    static const std::regex r_fwd(R"(\S+ 0 \d+ -1 \d+ 1 \[(\d{10})\] => 0)");
    ASSERT_GE(reto.size(), 2u) << llamado.indicativo() << "'s filter:\n" << une(reto);
    EXPECT_TRUE(std::regex_match(reto[0], r_reto)) << reto[0];
    std::smatch n1, fw;
    ASSERT_TRUE(std::regex_match(reto[1], n1, r_nivel1)) << reto[1];
    EXPECT_EQ(n1[2].str(), salida_nivel1) << reto[1];
    // One forward run of the caller's filter answered the challenge.
    std::string cifras;
    for (const auto& l : respuesta)
        if (std::regex_match(l, fw, r_fwd)) cifras = fw[1].str();
    ASSERT_EQ(cifras.size(), 10u) << llamante.indicativo() << "'s filter:\n" << une(respuesta);
    EXPECT_EQ(n1[1].str(), m.resumen(cifras + clave));
}

// --- Mail both ways -----------------------------------------------------------

TEST_P(FbbForwardPar, ElMensajeVaYVuelveConAutenticacion) {
    const Modos& m = std::get<1>(GetParam());
    const std::string clave = "Reenvio55";
    arranca_par(m, clave, clave);
    if (HasFatalFailure()) return;

    // N0BBS to N2BBS.
    Sysop sa(*a_, "N0SYS");
    ASSERT_TRUE(sa.entro()) << sa.estacion().todo();
    ASSERT_EQ(sa.envia_privado("N2USR", "N2BBS", "Hola de N0BBS",
                               {"Primera linea desde N0BBS.", "Segunda, y fin."}),
              "");
    std::string fw = sa.orden("FW N2BBS");
    EXPECT_NE(fw.find("Forwarding N2BBS"), std::string::npos) << fw;
    Sysop sb(*b_, "N2SYS");
    ASSERT_TRUE(sb.entro()) << sb.estacion().todo();
    std::vector<Listado> llegado = sb.espera_mensaje("N2USR", "N0SYS", 30000);
    ASSERT_EQ(llegado.size(), 1u) << "the message did not reach N2BBS";
    std::string leido = sb.orden("R " + llegado[0].numero);
    EXPECT_NE(cuerpo(leido).find("Primera linea desde N0BBS.\r\nSegunda, y fin.\r\n"),
              std::string::npos)
        << leido;

    // At N0BBS the message is marked forwarded ("PF").
    std::vector<Listado> enviado;
    EXPECT_TRUE(espera(
        [&] {
            enviado = mensajes(sa.orden("L"), "N2USR", "N0SYS");
            return enviado.size() == 1 && enviado[0].estado.find('F') != std::string::npos;
        },
        10000))
        << "N0BBS did not mark the message forwarded";

    // And back: N2BBS to N0BBS.
    ASSERT_EQ(sb.envia_privado("N0USR", "N0BBS", "Respuesta de N2BBS", {"Recibido en N2BBS."}), "");
    fw = sb.orden("FW N0BBS");
    EXPECT_NE(fw.find("Forwarding N0BBS"), std::string::npos) << fw;
    llegado = sa.espera_mensaje("N0USR", "N2SYS", 30000);
    ASSERT_EQ(llegado.size(), 1u) << "the message did not reach N0BBS";
    leido = sa.orden("R " + llegado[0].numero);
    EXPECT_NE(cuerpo(leido).find("Recibido en N2BBS.\r\n"), std::string::npos) << leido;
    EXPECT_TRUE(espera(
        [&] {
            enviado = mensajes(sb.orden("L"), "N0USR", "N2SYS");
            return enviado.size() == 1 && enviado[0].estado.find('F') != std::string::npos;
        },
        10000))
        << "N2BBS did not mark the message forwarded";

    sa.sale();
    sb.sale();
    a_->para();
    b_->para();
    // Each BBS challenged the other when called, and answered the other's
    // challenge when it called.
    comprueba_autenticacion(*a_, *b_, m.a, clave, "0");
    comprueba_autenticacion(*b_, *a_, m.b, clave, "0");
    EXPECT_FALSE(a_->existe(Bbs::trabajo("lognopas.prt")));
    EXPECT_FALSE(b_->existe(Bbs::trabajo("lognopas.prt")));
}

// --- Passwords that do not agree ------------------------------------------------

TEST_P(FbbForwardMal, ClavesDistintasNadieEntraYElMensajeSeQueda) {
    // N0BBS keeps Reenvio55 for N2BBS, N2BBS keeps Otra9999 for N0BBS.
    const std::string clave_a = "Reenvio55", clave_b = "Otra9999";
    arranca_par(kModos[1], clave_a, clave_b);
    if (HasFatalFailure()) return;
    Sysop sa(*a_, "N0SYS");
    Sysop sb(*b_, "N2SYS");
    ASSERT_TRUE(sa.entro()) << sa.estacion().todo();
    ASSERT_TRUE(sb.entro()) << sb.estacion().todo();
    ASSERT_EQ(sa.envia_privado("N2USR", "N2BBS", "De N0BBS", {"No debe llegar."}), "");
    ASSERT_EQ(sb.envia_privado("N0USR", "N0BBS", "De N2BBS", {"Tampoco."}), "");
    const std::string nopas = Bbs::trabajo("lognopas.prt");

    // N0BBS calls: N2BBS refuses it and logs the failure.
    sa.orden("FW N2BBS");
    ASSERT_TRUE(espera([&] { return b_->existe(nopas); }, 30000))
        << "N2BBS's talmir logged no failed password";
    // N2BBS calls: N0BBS refuses it.
    sb.orden("FW N0BBS");
    ASSERT_TRUE(espera([&] { return a_->existe(nopas); }, 30000))
        << "N0BBS's talmir logged no failed password";
    // Time for a caller that got in all the same to deliver.
    std::this_thread::sleep_for(std::chrono::seconds(3));

    // Each message is still at its sender, and not at the other BBS.
    std::string lista_a = sa.orden("L"), lista_b = sb.orden("L");
    std::vector<Listado> en_a = mensajes(lista_a, "N2USR", "N0SYS");
    std::vector<Listado> en_b = mensajes(lista_b, "N0USR", "N2SYS");
    ASSERT_EQ(en_a.size(), 1u) << lista_a;
    ASSERT_EQ(en_b.size(), 1u) << lista_b;
    EXPECT_EQ(en_a[0].estado.find('F'), std::string::npos) << lista_a;
    EXPECT_EQ(en_b[0].estado.find('F'), std::string::npos) << lista_b;
    EXPECT_TRUE(mensajes(lista_b, "N2USR", "N0SYS").empty()) << lista_b;
    EXPECT_TRUE(mensajes(lista_a, "N0USR", "N2SYS").empty()) << lista_a;
    sa.sale();
    sb.sale();
    a_->para();
    b_->para();

    // Refused at level 1, each with the digest of its own password.
    comprueba_autenticacion(*a_, *b_, kForward5, clave_a, "2");
    comprueba_autenticacion(*b_, *a_, kForward5, clave_b, "2");
    // And never let in: no run of the called BBS's filter for the caller
    // ended in anything but a challenge or a refusal.
    for (const auto& [llamado, llamante] : {std::pair{b_.get(), "N0BBS"}, {a_.get(), "N2BBS"}}) {
        for (const auto& l : llamadas_de(*llamado, llamante)) {
            EXPECT_TRUE(l.size() > 5 &&
                        (l.substr(l.size() - 5) == " => 1" || l.substr(l.size() - 5) == " => 2"))
                << l;
        }
        std::string log = llamado->lee(nopas);
        EXPECT_TRUE(std::regex_search(log, std::regex(std::string(llamante) + R"( *-0 +1 )")))
            << llamado->indicativo() << "'s lognopas.prt:\n"
            << log;
    }
}

// --- FBB's own forward time -----------------------------------------------------

TEST_P(FbbForwardMal, ElForwardDeCadaMinutoReintentaHastaQueLaClaveCoincide) {
    // N0BBS calls at every full minute (port.sys M/P-Fwd 00/01) with a
    // message that its mail import took in at start-up; N2BBS keeps another
    // password for it at first.
    const std::string nopas = Bbs::trabajo("lognopas.prt");
    arranca_par(kModos[1], "Reenvio55", "Otra9999", "00/01",
                "SP N2USR @ N2BBS < N0SYS\nDel correo de N0BBS\nLlega al segundo intento.\n/EX\n");
    if (HasFatalFailure()) return;
    // Refused at the next full minute.
    ASSERT_TRUE(espera([&] { return b_->existe(nopas); }, 70000))
        << "N0BBS did not call, or N2BBS's talmir logged no failed password";
    Sysop sa(*a_, "N0SYS");
    ASSERT_TRUE(sa.entro()) << sa.estacion().todo();
    std::vector<Listado> en_a = mensajes(sa.orden("L"), "N2USR", "N0SYS");
    ASSERT_EQ(en_a.size(), 1u) << "N0BBS did not import the message";
    EXPECT_EQ(en_a[0].estado.find('F'), std::string::npos) << en_a[0].estado;

    // N2BBS's sysop sets the right password: talmir reads users.prt at every
    // run, and the next call gets in.
    b_->talmir("users.prt", users_prt("N0BBS", kForward5, "Reenvio55"));
    Sysop sb(*b_, "N2SYS");
    ASSERT_TRUE(sb.entro()) << sb.estacion().todo();
    EXPECT_TRUE(mensajes(sb.orden("L"), "N2USR", "N0SYS").empty());
    std::vector<Listado> llegado = sb.espera_mensaje("N2USR", "N0SYS", 70000);
    ASSERT_EQ(llegado.size(), 1u) << "the message did not reach N2BBS";
    std::string leido = sb.orden("R " + llegado[0].numero);
    EXPECT_NE(cuerpo(leido).find("Llega al segundo intento.\r\n"), std::string::npos) << leido;
    sa.sale();
    sb.sale();
    a_->para();
    b_->para();

    // Two calls, each challenged: the first refused, the second let in; one
    // failure logged.
    std::vector<std::string> reto = llamadas_de(*b_, "N0BBS");
    ASSERT_EQ(reto.size(), 4u) << une(reto);
    for (std::size_t i : {0u, 2u})
        EXPECT_EQ(reto[i].substr(reto[i].size() - 5), " => 1") << reto[i];
    EXPECT_EQ(reto[1].substr(reto[1].size() - 5), " => 2") << reto[1];
    EXPECT_EQ(reto[3].substr(reto[3].size() - 5), " => 0") << reto[3];
    EXPECT_EQ(llamadas_de(*a_, "N2BBS", true).size(), 2u) << une(a_->llamadas_filtro());
    std::string log = b_->lee(nopas);
    static const std::regex entrada("N0BBS *-0 +1 ");
    EXPECT_EQ(std::distance(std::sregex_iterator(log.begin(), log.end(), entrada),
                            std::sregex_iterator()),
              1)
        << log;
}

INSTANTIATE_TEST_SUITE_P(Fbb, FbbForwardPar,
                         ::testing::Combine(::testing::Values(Fbb::Original, Fbb::Parcheado),
                                            ::testing::ValuesIn(kModos)),
                         [](const auto& i) {
                             return nombre(std::get<0>(i.param)) + std::get<1>(i.param).nombre;
                         });

INSTANTIATE_TEST_SUITE_P(Fbb, FbbForwardMal, ::testing::Values(Fbb::Original, Fbb::Parcheado),
                         [](const ::testing::TestParamInfo<Fbb>& i) { return nombre(i.param); });

}  // namespace
