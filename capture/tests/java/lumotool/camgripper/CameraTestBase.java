package lumotool.camgripper;

import static org.junit.jupiter.api.Assertions.assertEquals;

import lumotool.camgripper.sim.SimPlatform;
import org.junit.jupiter.api.AfterEach;
import org.junit.jupiter.api.BeforeEach;

/**
 * What every camera test shares: a clean simulated platform and a fixture before
 * each test, the cameras of the class, and afterwards the fixture closed and not
 * one platform object left behind.
 */
abstract class CameraTestBase {
    protected Fixture fixture;

    @BeforeEach
    final void setUpPlatform() {
        SimPlatform.reset();
        fixture = new Fixture();
        cameras();
    }

    /** The cameras every test of the class starts with; none unless a class says. */
    protected void cameras() {
    }

    @AfterEach
    final void tearDownPlatform() {
        SimPlatform.pauseFrames(false);
        fixture.close();
        SimPlatform.reset();
        assertEquals(0, SimPlatform.liveObjects(), "platform objects left behind");
    }
}
