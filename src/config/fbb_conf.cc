// FBB's key/value configuration file, held as a list of keys and values for
// the time of one reading of FBB's host configuration.
#include "config/fbb_conf.h"

#include <cstring>
#include <new>

#include "driver/disco.h"
#include "driver/utils.h"

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

bool es_espacio(char c) {
    return c == ' ' || c == '\t';
}

// Printable, not blank, not "=": a character of a key.
bool es_de_clave(char c) {
    return c > ' ' && c < 127 && c != '=';
}

char minuscula(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
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
    while (es_espacio(*p)) ++p;
    if (*p == '\0' || *p == '#') return true;  // ignored line

    const char* clave = p;
    while (es_de_clave(*p)) ++p;
    std::size_t nclave = static_cast<std::size_t>(p - clave);

    const char* valor = "";
    std::size_t nvalor = 0;
    const char* igual = std::strchr(p, '=');
    if (igual != nullptr) {
        valor = igual + 1;
        while (es_espacio(*valor)) ++valor;
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

}  // namespace talmir
