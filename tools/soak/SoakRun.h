#pragma once

#include "LineFollower.h"
#include "OperatorProgram.h"
#include "ProgramLog.h"
#include "SimulatorTrace.h"
#include "SoakPlan.h"
#include "SoakReport.h"
#include "TestCamera.h"

#include <QElapsedTimer>
#include <QObject>
#include <QProcess>
#include <QTimer>

#include <memory>

namespace Soak {

// The programs a soak runs.
struct Programs
{
    QString krnotify;
    QString hostSimulator;
    QString testCamera;
};

// One soak: the test camera, the simulated hosts and the operator program in a work folder;
// faults as planned; at the end the program is asked to end and the logs are compared.
class SoakRun : public QObject
{
    Q_OBJECT

public:
    SoakRun(Settings settings, Programs programs, QString workDir, QObject* parent = nullptr);
    ~SoakRun() override;

    // Starts everything; false with the reason when something could not start.
    bool start(QString* error);
    // The report, once finished() was emitted.
    const SoakReport& report() const { return *m_report; }

Q_SIGNALS:
    void finished();

private:
    bool startHosts(const Plan& plan, QString* error);
    void scheduleCameraDeaths(const Plan& plan);
    void followTrace();
    void reportProgress();
    void end();

    Settings m_settings;
    Programs m_programs;
    QString m_workDir;
    TestCamera m_camera;
    QProcess m_hosts;
    std::unique_ptr<LineFollower> m_trace;
    SimulatorTrace m_hostSide;
    ProgramLog m_programSide;
    OperatorProgram m_program;
    RunFigures m_figures;
    QElapsedTimer m_clock;
    QTimer m_follow;
    QTimer m_progress;
    std::unique_ptr<SoakReport> m_report;
};

} // namespace Soak
