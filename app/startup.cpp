// Start-up: the banner, the window, the callbacks, the menus, and the pacing of the idle loop.
#include "app.h"

#include <GL/glut.h>
#include <climits>
#include <cstdio>
#include <filesystem>

#include "render.h"
#include "sim.h"

int it = 0;
static int mainMenu = 0; // GLUT id of the right-button main menu, attached once the menus are built

static const char* const kBanner[16] = {
    "------------------------------------------------------------------------\n",
    "                                                                        \n",
    "      Tessavan                                                 \n",
    "                                                                        \n",
    " Resolution des equations de Hill CLOHESSY-WILTSHIRE                    \n",
    "  2                               2                   2                 \n",
    " d x            dy           2   d y            dx   d z          2     \n",
    " --- = 2 Omega  -- + 3  Omega x; --- = -2 Omega --;  --- = - Omega z    \n",
    "   2            dt                 2            dt     2                \n",
    " dt                              dt                  dz                 \n",
    "------------------------------------------------------------------------\n",
    " Rendez-vous en orbite : simulateur libre, ecrit par l'equipe du projet \n",
    "------------------------------------------------------------------------\n",
    " changer cible.obj et chasseur.obj                                      \n",
    " Images des vaisseaux : modeles chasseur et cible faits pour ce projet  \n",
    "------------------------------------------------------------------------\n",
};

const char* const kScenarioMenu[6] = {
    "cas simple:     Omega=0.00, dans le plan, dans l'axe!",
    "cas simple:     Omega=0.10, dans le plan, dans l'axe!",
    "cas assez dur: Omega=0.25, dans le plan, dans l'axe!",
    "cas assez dur: Omega=0.25, dans le plan, hors l'axe!",
    "cas assez dur: Omega=0.25, dans le plan, hors l'axe!",
    "cas dur  dur: Omega=0.25, hors du plan et de l'axe!",
};

const MenuEntry kMainMenu[9] = {
    {"Remise `a z'ero compl`ete", 0},
    {"cas initiaux ", -1},
    {"[k] raz Kul en cours", 3},
    {"[v] raz vue", 4},
    {"[r] vue en rotation", 1},
    {"[t]vue en translation", 2},
    {"[l] vue du chasseur/vue paysage", 5},
    {"[h] aide", 6},
    {"[Esc] Exit", 7},
};

// The first reset found no scenario: the program was started outside the folder that holds its
// data/, and the first frame will end it for want of the models. Say where it looked and how to start
// it instead.
static void notInDataFolder() {
    std::error_code ec;
    const std::filesystem::path data = std::filesystem::absolute("data", ec);
    std::fprintf(
        stderr,
        "Pas de données dans %s : le simulateur lit data/ dans le dossier courant.\n"
        "Lancez-le depuis la racine du projet (make run), ou par la commande installée rendezvous.\n",
        ec ? "data" : data.c_str());
}

void init(int* /*argc*/, char** argv) {
    // Lines reach a pipe or a log file as they are printed, not when a buffer fills.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::printf("on est ici: argv[0]-> %s  \n", argv[0]);
    sim::nomfichier = "data/fo.in";
    for (const char* line : kBanner)
        std::fputs(line, stdout);
}

void GlutLoop(int* argc, char** argv) {
    glutInit(argc, argv);
    sim::raz();
    if (!sim::scenarioRead)
        notInDataFolder();
    glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE | GLUT_ALPHA | GLUT_DEPTH);
    glutInitWindowSize(800, 800);
    glutInitWindowPosition(0, 0);
    glutCreateWindow("Hill~QOR *  * *    *  * *Tessavan* *  * * OpenGL");
    InitGL();
    glutDisplayFunc(DrawGLScene);
    glutReshapeFunc(ReSizeGLScene);
    glutMotionFunc(motion);
    glutMouseFunc(mouse);
    glutKeyboardFunc(Keyboard);
    glutSpecialFunc(parsekey_special);
    glutIdleFunc(idleFunc);

    const int scenarios = glutCreateMenu(M_menu_select);
    for (int i = 0; i < 6; i++)
        glutAddMenuEntry(kScenarioMenu[i], i);
    mainMenu = glutCreateMenu(setMain);
    for (const MenuEntry& e : kMainMenu) {
        if (e.value < 0)
            glutAddSubMenu(e.label, scenarios);
        else
            glutAddMenuEntry(e.label, e.value);
    }
    glutSetMenu(mainMenu); // the right button opens the main menu, the submenu opens from it
    glutAttachMenu(GLUT_RIGHT_BUTTON);
    glutMainLoop();
}

void idleFunc() {
    // A finished help opener is collected at once, paused or not, so none stays a zombie.
    reapOpeners();
    if (sim::pause != 0)
        return;
    // Before the count would overflow, fold it to its remainder: the phase against the current
    // `slow`, and so the cadence, is unchanged.
    if (it == INT_MAX)
        it %= sim::slow;
    it = it + 1;
    if (it % sim::slow == 0)
        sim::nextD();
}
