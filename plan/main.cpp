// rendezvous-plan: what to press, and when, to dock in a scenario of the simulator.
//
//   rendezvous-plan [--keys] [--from "TEMPS X Y Z XP YP ZP RESERVE"] [--svg PICTURE] FILE
//
// Status 0: the plan docks; 1: no plan docks from there; 2: a bad argument or an unreadable file.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

#include "plan.h"

namespace {

const char* const kUsage =
    "usage : rendezvous-plan [--keys] [--from \"TEMPS X Y Z XP YP ZP RESERVE\"] [--svg IMAGE] FICHIER\n"
    "\n"
    "Dit quelles touches presser, combien de fois et `a quel temps de l''ecran pour arrimer le chasseur\n"
    "dans le sc'enario FICHIER (data/fo.in ... data/fo5.in), depuis son d'epart `a temps = 0.\n"
    "\n"
    "  --from \"...\"  depuis un moment du vol : les huit nombres que montre l''ecran (temps, x, y, z,\n"
    "                xp, yp, zp, reserve), par exemple apr`es une pause ('p').\n"
    "  --keys        le plan pour une machine, une ligne par 'etape : \"TEMPS TOUCHE NOMBRE\" (TOUCHE :\n"
    "                Up, Down, Left, Right, PageUp, PageDown) ou \"TEMPS check\" (pause, relire l''ecran\n"
    "                et redemander avec --from).\n"
    "  --svg IMAGE   dessine aussi le plan dans le fichier SVG IMAGE : le vol dans le plan de l'orbite,\n"
    "                hors du plan s'il en sort, chaque 'etape l`a o`u l''ecran montre son temps.\n"
    "  --help        ce texte.\n";

int bad(const char* what, const char* arg) {
    std::fprintf(stderr, "rendezvous-plan : %s%s\n%s", what, arg, kUsage);
    return 2;
}

// Reads the scenario through the simulator's own reset. The items start as NaN, so one the reader
// leaves alone shows; its line "fichier de donnees" goes to standard error, keeping the plan alone on
// standard output.
bool readScenario(const char* path) {
    const double unset = std::nan("");
    sim::para_phy.Omega = sim::para_phy.trois = unset;
    sim::para_phy.X0 = sim::para_phy.Y0 = sim::para_phy.Z0 = unset;
    sim::para_phy.Xp0 = sim::para_phy.Yp0 = sim::para_phy.Zp0 = unset;
    sim::nomfichier = path;
    std::fflush(stdout);
    const int out = dup(1);
    dup2(2, 1);
    sim::raz();
    std::fflush(stdout);
    dup2(out, 1);
    close(out);
    const sim::ParaPhy& s = sim::para_phy;
    for (const double v : {s.dt, s.Omega, s.trois, s.X0, s.Y0, s.Z0, s.Xp0, s.Yp0, s.Zp0, s.p})
        if (!std::isfinite(v))
            return false;
    return sim::scenarioRead && s.Omega >= 0.0;
}

bool writeFile(const char* path, const std::string& text) {
    FILE* f = std::fopen(path, "wb");
    if (!f)
        return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    return std::fclose(f) == 0 && written;
}

} // namespace

int main(int argc, char** argv) {
    bool keys = false;
    const char* from = nullptr;
    const char* picture = nullptr;
    const char* file = nullptr;
    for (int i = 1; i < argc; i++) {
        if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (std::strcmp(argv[i], "--keys") == 0) {
            keys = true;
        } else if (std::strcmp(argv[i], "--from") == 0) {
            if (++i == argc)
                return bad("--from attend les huit nombres de l''ecran", "");
            from = argv[i];
        } else if (std::strcmp(argv[i], "--svg") == 0) {
            if (++i == argc)
                return bad("--svg attend le fichier de l''image", "");
            picture = argv[i];
        } else if (argv[i][0] == '-' && argv[i][1] != '\0') {
            return bad("option inconnue : ", argv[i]);
        } else if (file) {
            return bad("un seul fichier de sc'enario : ", argv[i]);
        } else {
            file = argv[i];
        }
    }
    if (!file)
        return bad("il manque le fichier de sc'enario", "");
    if (!readScenario(file))
        return bad("sc'enario illisible ou incomplet : ", file);

    plan::Moment moment{0.0,
                        sim::para_phy.X0,
                        sim::para_phy.Y0,
                        sim::para_phy.Z0,
                        sim::para_phy.Xp0,
                        sim::para_phy.Yp0,
                        sim::para_phy.Zp0,
                        sim::pcmax};
    if (from && !plan::parseMoment(from, &moment))
        return bad("--from attend huit nombres, comme l''ecran les montre : ", from);

    const plan::Plan p = plan::planFrom(sim::para_phy, moment);
    if (picture && !writeFile(picture, plan::svg(p, sim::para_phy, moment, file)))
        return bad("impossible d''ecrire l''image : ", picture);
    std::fputs(keys ? plan::keysText(p).c_str() : plan::describe(p, sim::para_phy, moment, file).c_str(),
               stdout);
    return p.outcome == 3 ? 0 : 1;
}
