#include "getlogthread.h"

#include "jobdatabase.h"

#include <algorithm>

void GetLogThread::run()
{
    // The table returns jobs in the order they were inserted.
    m_jobs = JobDatabase::jobs();
    std::reverse(m_jobs.begin(), m_jobs.end());
    emit sendLogList(m_jobs);
}
