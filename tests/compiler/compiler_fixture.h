#pragma once
// A program folder with a stand-in player program, a quest beside it, and the
// compile dialog over recording ports.

#include "compiler/compiler.h"
#include "engine/recording_ports.h"
#include "tests/support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

class CompilerTest : public ::testing::Test
{
public:
    void SetUp() override
    {
        ASSERT_TRUE(tmp.isValid());
        programDir = tmp.filePath(QStringLiteral("program"));
        questDir = tmp.filePath(QStringLiteral("quests"));
        target = tmp.filePath(QStringLiteral("games"));
        QDir().mkpath(programDir);
        QDir().mkpath(questDir);
        QDir().mkpath(target);
        program = programDir + QStringLiteral("/fablecraft");
        ASSERT_TRUE(fc::test::writeFile(program, "#!/bin/sh\necho player\n"));
        QFile::setPermissions(program, QFile::permissions(program) | QFileDevice::ExeOwner | QFileDevice::ExeUser);
        mediaModule = programDir + QStringLiteral("/fablecraft-media.so");
        ASSERT_TRUE(fc::test::writeFile(mediaModule, "media module"));
        quest = questDir + QStringLiteral("/cave.qst");
        questBytes = "[Story Info]\r\nTitle=Cave\r\n[1]\r\nLocation=Mouth\r\nPage Text=Dark.\r\n";
        ASSERT_TRUE(fc::test::writeFile(quest, questBytes));
        compiler = std::make_unique<fc::Compiler>(form, &ports.dialogs, &ports.launcher, programDir);
    }

    // Opens the dialog, fills it and compiles; runtime files off unless asked.
    void compile(const QString &name, bool runtime = false, bool media = false)
    {
        if (!form.visible())
            compiler->open(quest);
        compiler->typeGameName(name);
        compiler->selectFolder(target);
        compiler->setIncludeRuntime(runtime);
        compiler->setCopyMedia(media);
        ports.dialogs.shown.clear();
        compiler->clickCompile();
    }

    QStringList texts() const
    {
        QStringList out;
        for (const fc::ShownMessage &m : ports.dialogs.shown)
            out << m.text;
        return out;
    }

    QTemporaryDir tmp;
    QString programDir, questDir, target, program, mediaModule, quest;
    QByteArray questBytes;
    fc::RecordingPortSet ports;
    fc::CompileForm form;
    std::unique_ptr<fc::Compiler> compiler;
};
