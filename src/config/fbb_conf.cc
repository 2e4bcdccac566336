// SPDX-License-Identifier: GPL-2.0-or-later
// FBB's key/value configuration file (fbb.conf), held as a list of keys and
// values for the time of one reading of FBB's host configuration, and its
// fields read from that list.
#include "config/fbb_conf.h"

#include <cstring>
#include <new>

#include "config/lectura.h"
#include "driver/disco.h"
#include "driver/global.h"
#include "driver/lineas.h"
#include "driver/texto.h"

namespace talmir {

namespace {

struct conf_list {
    char key[5];  // first four characters of the line's key
    char* value;  // the value, owned by the node
    conf_list* next;
};

// Newest line first: the list runs in reverse file order.
conf_list* conf_head = nullptr;
// Where the next search with next != 0 starts.
conf_list* conf_next = nullptr;

// A line holds at most 254 characters before its end.
constexpr std::size_t LINEA_CONF = 255;

// Printable, not blank, not "=": a character of a key.
bool es_de_clave(char c) {
    return c > ' ' && c < 127 && c != '=';
}

// Case-insensitive over four characters; a shorter key must match in full.
bool clave_igual(const char* nodo, const char* key) {
    for (int i = 0; i < 4; ++i) {
        char a = minuscula(nodo[i]);
        char b = minuscula(key[i]);
        if (a != b) return false;
        if (a == '\0') return true;
    }
    return true;
}

// Puts one line's key and value at the head of the list. False when memory
// ran out.
bool anade_linea(const char* linea) {
    const char* p = linea;
    while (es_espacio_o_tab(*p)) ++p;
    if (*p == '\0' || *p == '#') return true;  // ignored line

    const char* clave = p;
    while (es_de_clave(*p)) ++p;
    std::size_t nclave = static_cast<std::size_t>(p - clave);

    const char* valor = "";
    std::size_t nvalor = 0;
    const char* igual = std::strchr(p, '=');
    if (igual != nullptr) {
        valor = igual + 1;
        while (es_espacio_o_tab(*valor)) ++valor;
        nvalor = std::strlen(valor);
        if (*valor == '"') {
            ++valor;
            --nvalor;
            const char* ultima = std::strrchr(valor, '"');
            if (ultima != nullptr) nvalor = static_cast<std::size_t>(ultima - valor);
        }
    }

    conf_list* nodo = new (std::nothrow) conf_list;
    if (nodo == nullptr) return false;
    nodo->value = new (std::nothrow) char[nvalor + 1];
    if (nodo->value == nullptr) {
        delete nodo;
        return false;
    }
    copia(nodo->key, sizeof nodo->key, std::string_view(clave, nclave));
    std::memcpy(nodo->value, valor, nvalor);
    nodo->value[nvalor] = '\0';
    nodo->next = conf_head;
    conf_head = nodo;
    return true;
}

enum class Campo : std::uint8_t { ninguno, call, loca, city, conf, data, name, syso, impo };

struct Clave {
    const char* clave;
    Campo campo;
};

// The fbb.conf keys in the order they are looked up; only some set a field.
constexpr Clave inistr[] = {
    {"vers", Campo::ninguno},  {"call", Campo::call},    {"ssid", Campo::ninguno},
    {"loca", Campo::loca},     {"city", Campo::city},    {"conf", Campo::conf},
    {"data", Campo::data},     {"mess", Campo::ninguno}, {"comp", Campo::ninguno},
    {"fbbd", Campo::ninguno},  {"yapp", Campo::ninguno}, {"docs", Campo::ninguno},
    {"name", Campo::name},     {"syso", Campo::syso},    {"sysm", Campo::ninguno},
    {"impo", Campo::impo},     {"logs", Campo::ninguno}, {"test", Campo::ninguno},
    {"fbbf", Campo::ninguno},  {"fbbc", Campo::ninguno}, {"aski", Campo::ninguno},
    {"mask", Campo::ninguno},  {"secu", Campo::ninguno}, {"warn", Campo::ninguno},
    {"hous", Campo::ninguno},  {"time", Campo::ninguno}, {"maxd", Campo::ninguno},
    {"loca", Campo::ninguno},  {"beac", Campo::ninguno}, {"scro", Campo::ninguno},
    {"fwdh", Campo::ninguno},  {"maxb", Campo::ninguno}, {"life", Campo::ninguno},
    {"wpca", Campo::ninguno},  {"zipc", Campo::ninguno}, {"unpr", Campo::ninguno},
    {"upba", Campo::ninguno},  {"dwba", Campo::ninguno}, {"pg", Campo::ninguno},
    {nullptr, Campo::ninguno},
};

bool aplica_clave(Campo campo, const char* valor) {
    switch (campo) {
        case Campo::ninguno:
            return true;
        case Campo::call:
            toma_alfanumerico(infbbs.id, valor);
            return true;
        case Campo::loca:
            toma_palabra(infbbs.locator, valor, true);
            return true;
        case Campo::city:
            toma_linea(infbbs.qth, valor);
            return true;
        case Campo::conf:
            if (toma_ruta(infbbs.ruta_system, valor) < 0) return false;
            quita_barra_final(infbbs.ruta_system);
            return true;
        case Campo::data:
            if (toma_ruta(infbbs.ruta_datadir, valor) < 0) return false;
            quita_barra_final(infbbs.ruta_datadir);
            return true;
        case Campo::name:
            toma_linea(infbbs.nsysop, valor);
            return true;
        case Campo::syso:
            toma_palabra(infbbs.sysop, valor, true);
            return true;
        case Campo::impo:
            return toma_correo(valor);
    }
    return true;
}

}  // namespace

int read_fbb_conf(const char* pathname) {
    free_fbb_conf();
    Archivo f = Archivo::abre(pathname, "r");
    if (!f) return 1;
    char linea[LINEA_CONF];
    while (lee_linea(f.get(), linea, sizeof linea)) {
        if (!anade_linea(linea)) {
            // Nothing half-built is left behind.
            free_fbb_conf();
            return 2;
        }
    }
    return 0;
}

const char* find_fbb_conf(const char* key, int next) {
    for (conf_list* n = next != 0 ? conf_next : conf_head; n != nullptr; n = n->next) {
        if (clave_igual(n->key, key)) {
            conf_next = n->next;
            return n->value;
        }
    }
    conf_next = nullptr;
    return nullptr;
}

void free_fbb_conf() {
    while (conf_head != nullptr) {
        conf_list* siguiente = conf_head->next;
        delete[] conf_head->value;
        delete conf_head;
        conf_head = siguiente;
    }
    conf_next = nullptr;
}

// The fields of fbb.conf; false when a path did not fit.
bool lee_fbb_conf() {
    for (const Clave* c = inistr; c->clave != nullptr; ++c) {
        const char* valor = find_fbb_conf(c->clave, 0);
        // FBB names the locator "qraloc"; "loca" alone would meet only
        // "localtime" in FBB's own files. The locator's key comes first
        // when it holds a word: an empty qraloc leaves loca its say.
        if (c->campo == Campo::loca) {
            const char* qraloc = find_fbb_conf("qral", 0);
            char palabra[2];
            const char* p = qraloc;
            if (qraloc != nullptr && lee_palabra(&p, palabra, sizeof palabra) != 0) valor = qraloc;
        }
        if (valor != nullptr && !aplica_clave(c->campo, valor)) return false;
    }
    return true;
}

}  // namespace talmir
